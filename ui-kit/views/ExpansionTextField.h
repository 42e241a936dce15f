#pragma once

#include <QLabel>

namespace kestrova {

// A one-line text that shows as much as fits, ending in "…", and gives its whole text as tooltip while it
// does not fit (no tooltip when it does).
class ExpansionTextField final : public QLabel {
    Q_OBJECT
public:
    explicit ExpansionTextField(const QString &text = QString(), QWidget *parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString &text);
    bool isTruncated() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateShownText();

    QString m_fullText;
};

} // namespace kestrova
