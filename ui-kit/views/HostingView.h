#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

namespace kestrova {
namespace platform {
class MenuItem;
}

// The view of a menu row that hosts other content: as wide as the menu makes it, and always as tall as
// its content needs at that width. A menu measures its rows once when it opens, so when the content's
// needs change later (a picture or text that arrived from disk), the view asks its menu to measure again;
// an unchanged height asks nothing, so a layout pass never starts another one. Owns its content.
class HostingView : public QWidget {
    Q_OBJECT

public:
    explicit HostingView(QWidget *content, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    // Kept for callers that ask for it; menus here draw no translucent material behind their rows.
    bool forceAllowsVibrancy() const { return m_forceAllowsVibrancy; }
    void setForceAllowsVibrancy(bool force) { m_forceAllowsVibrancy = force; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent *event) override;

private:
    void contentNeedsChanged();

    QWidget *m_content;
    bool m_forceAllowsVibrancy = false;
    // The last size the menu was asked for.
    QSize m_announcedSize;
};

// Makes the row show the content that `makeContent` creates (anew for each showing of the row) in a
// HostingView, in the system font at its regular size and weight. `description` names the view in dumps.
void setHostedView(platform::MenuItem &item, const QString &description,
                   std::function<QWidget *()> makeContent, bool forceAllowsVibrancy);

} // namespace kestrova
