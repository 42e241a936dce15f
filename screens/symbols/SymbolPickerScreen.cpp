#include "SymbolPickerScreen.h"

#include "RecentlyUsedSymbols.h"
#include "SymbolCatalog.h"
#include "SymbolGridView.h"
#include "SymbolSearch.h"

#include "foundation/app/KvApp.h"
#include "platform/workspace/Pasteboard.h"
#include "store/DefaultsObservation.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrova {

QString SymbolPickerScreen::title(SectionType type) {
    return type == SectionType::recentlyUsed ? QStringLiteral("Recently Used") : QStringLiteral("All");
}

SymbolPickerScreen::SymbolPickerScreen(platform::Binding<std::optional<QString>> symbol, QWidget *parent)
    : QWidget(parent)
    , m_symbol(std::move(symbol))
    , m_searchField(new QLineEdit)
    , m_cancelButton(new QToolButton)
    , m_grid(new SymbolGridView) {
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Symbols"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(8, 8, 8, 8);
    m_searchField->setPlaceholderText(QStringLiteral("Search"));
    m_searchField->setAccessibleName(QStringLiteral("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setFrame(false);
    m_searchField->installEventFilter(this);
    m_grid->installEventFilter(this);
    bar->addWidget(m_searchField, 1);
    m_cancelButton->setText(QStringLiteral("Cancel"));
    m_cancelButton->setAutoRaise(true);
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    connect(m_cancelButton, &QToolButton::clicked, this, &QWidget::close);
    bar->addWidget(m_cancelButton);
    layout->addLayout(bar);
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    layout->addWidget(m_grid, 1);

    connect(m_searchField, &QLineEdit::textChanged, this, [this] {
        rebuild();
        m_grid->scrollToTop();
    });
    connect(m_grid, &SymbolGridView::activated, this, &SymbolPickerScreen::select);
    connect(m_grid, &SymbolGridView::contextMenuRequested, this,
            [this](SymbolGridView::Cell cell, const QPoint &position) {
                showContextMenu(cell.section, cell.index, position);
            });
    // "Clear Recently Used" (here or in another picker) takes the section away at once.
    m_recentsObservation = Defaults::observe({std::cref<Defaults::AnyKey>(recentlyUsedSymbolsKey())}, {},
                                             [this] { QTimer::singleShot(0, this, [this] { rebuild(); }); });
    setFocusProxy(m_searchField);
    rebuild();
}

SymbolPickerScreen::~SymbolPickerScreen() = default;

QString SymbolPickerScreen::searchQuery() const {
    return m_searchField->text();
}

void SymbolPickerScreen::rebuild() {
    const QString query = searchQuery();
    const bool isSearching = !query.trimmed().isEmpty();
    std::vector<SymbolGridView::Section> sections;
    if (isSearching) {
        sections.push_back({title(SectionType::all), SymbolSearch::catalogue().searchResults(query),
                            /*showsHeader=*/false, /*showsSelection=*/true});
    } else {
        const std::vector<QString> recents = Defaults::get(recentlyUsedSymbolsKey());
        if (!recents.empty()) {
            sections.push_back({title(SectionType::recentlyUsed), QStringList(recents.begin(), recents.end()),
                                /*showsHeader=*/true, /*showsSelection=*/false});
        }
        sections.push_back({title(SectionType::all), allSymbolNames(), /*showsHeader=*/true,
                            /*showsSelection=*/true});
    }
    m_grid->setSections(std::move(sections));
    m_grid->setSelectedName(m_symbol.get());
    // Typing and then Return picks the best match.
    if (isSearching)
        m_grid->setCurrentCell({0, 0});
}

void SymbolPickerScreen::select(const QString &name) {
    m_symbol.set(name);
    Defaults::set(recentlyUsedSymbolsKey(),
                  recentsAfterPicking(Defaults::get(recentlyUsedSymbolsKey()), name));
    close();
}

void SymbolPickerScreen::clearRecentlyUsed() {
    recentlyUsedSymbolsKey().reset();
}

std::unique_ptr<QMenu> SymbolPickerScreen::contextMenu(int section, int index) {
    const QString name = m_grid->nameAt({section, index});
    if (name.isNull())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(QStringLiteral("Copy Name"), this, [name] {
        platform::PasteboardItem item;
        item.setString(name, QString::fromLatin1(platform::PasteboardType::string));
        item.setString(KvApp::id(), QString::fromLatin1(platform::PasteboardType::source));
        auto &pasteboard = platform::Pasteboard::general();
        pasteboard.clearContents();
        pasteboard.writeObjects({item});
    });
    if (m_grid->sections()[section].title == title(SectionType::recentlyUsed)) {
        menu->addSeparator();
        menu->addAction(QStringLiteral("Clear Recently Used"), this, &SymbolPickerScreen::clearRecentlyUsed);
    }
    return menu;
}

void SymbolPickerScreen::showContextMenu(int section, int index, const QPoint &globalPosition) {
    if (const std::unique_ptr<QMenu> menu = contextMenu(section, index))
        menu->exec(globalPosition);
}

void SymbolPickerScreen::cancelOrClear() {
    if (!searchQuery().isEmpty())
        m_searchField->clear();
    else
        close();
}

bool SymbolPickerScreen::eventFilter(QObject *watched, QEvent *event) {
    // The search field keeps the focus; the keys that move through the grid go on to it.
    if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            m_grid->moveCurrent(Qt::Key(key->key()));
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            // In an empty field the arrows have nothing to move over but the grid.
            if (!searchQuery().isEmpty() && !m_grid->currentCell().isValid())
                return false;
            m_grid->moveCurrent(Qt::Key(key->key()));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_grid->currentCell().isValid())
                select(m_grid->nameAt(m_grid->currentCell()));
            return true;
        case Qt::Key_Escape:
            cancelOrClear();
            return true;
        default:
            break;
        }
    }
    // Typing with the grid focused searches: the text goes to the field, and the keyboard with it.
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().front().isPrint() &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            m_searchField->setFocus(Qt::OtherFocusReason);
            m_searchField->insert(key->text());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SymbolPickerScreen::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        cancelOrClear();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SymbolPickerScreen::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_searchField->setFocus(Qt::PopupFocusReason);
    if (m_hasScrolledToSelection)
        return;
    m_hasScrolledToSelection = true;
    // The current choice shows in the middle of the All section, ringed for the keyboard.
    if (const std::optional<QString> chosen = m_symbol.get()) {
        const int all = int(m_grid->sections().size()) - 1;
        const SymbolGridView::Cell cell = m_grid->findCell(all, *chosen);
        if (cell.isValid()) {
            m_grid->setCurrentCell(cell);
            m_grid->scrollToCell(cell, /*centre=*/true);
        }
    }
}

void SymbolPickerScreen::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    Q_EMIT dismissed();
}

} // namespace kestrova
