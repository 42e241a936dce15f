#pragma once

#include <QWidget>

namespace kestrova {

// A view that says once when it first gets a parent and once when it first shows in a window, however
// often it moves afterwards. Owned like any widget.
class KvView : public QWidget {
    Q_OBJECT

public:
    explicit KvView(QWidget *parent = nullptr);

    bool didMoveToSuperviewWasCalled() const { return m_didMoveToSuperview; }
    bool didMoveToWindowWasCalled() const { return m_didAppear; }

Q_SIGNALS:
    void didMoveToSuperview();
    void didAppear();

protected:
    bool event(QEvent *event) override;

private:
    bool m_didMoveToSuperview = false;
    bool m_didAppear = false;
};

} // namespace kestrova
