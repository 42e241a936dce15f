#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace kestrova {

// Shows what a file holds inside another view: its text on a page, or its picture fitted into the view
// with its proportions kept. The desktop has no previewer for any kind of file that an application could
// embed, so the caller reads the file and hands over text or a picture. Mouse events pass through to the
// view around the preview, so a drag that starts on it drags whatever that view drags.
class QuickLookPreview : public QWidget {
    Q_OBJECT

public:
    explicit QuickLookPreview(QWidget *parent = nullptr);

    void setText(const QString &text);
    void setPicture(const QImage &picture);
    const QString &text() const { return m_text; }
    const QImage &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QImage m_picture;
};

} // namespace kestrova
