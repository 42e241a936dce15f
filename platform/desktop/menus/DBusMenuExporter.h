#pragma once

#include "platform/observation/Subscription.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrova::platform {
class HostedViewFactory;
class Menu;
class MenuItem;
class MenuRowSource;
} // namespace kestrova::platform

namespace kestrova::platform::desktop {

// The D-Bus shapes of the exported menu: (ia{sv}av), (ia{sv}), (ias) and (isvu).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
struct DBusMenuItemPropertyNames {
    int id = 0;
    QStringList names;
};
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;
using DBusMenuItemPropertyNamesList = QList<DBusMenuItemPropertyNames>;
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemProperties &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemPropertyNames &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemPropertyNames &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuEvent &event);

// Registers the types above with QtDBus; called by the exporter, and by clients that read its replies.
void registerDBusMenuTypes();

} // namespace kestrova::platform::desktop

Q_DECLARE_METATYPE(kestrova::platform::desktop::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(kestrova::platform::desktop::DBusMenuItemProperties)
Q_DECLARE_METATYPE(kestrova::platform::desktop::DBusMenuItemPropertyNames)
Q_DECLARE_METATYPE(kestrova::platform::desktop::DBusMenuEvent)

namespace kestrova::platform::desktop {

// Exports a platform::Menu over D-Bus as com.canonical.dbusmenu (version 3), for tray hosts that show the
// menu themselves. Like MenuPresenter, the exporter never owns the menus: it holds weak references to the
// items it has given ids (and, for a while, the rows a host may still show; see below), and an id stays
// the same for an item as long as the item lives. The root is
// either a menu the caller keeps (held weakly) or comes from a provider, asked before the host first reads
// the menu and again on every AboutToShow(0), so the menu is made afresh for each opening. (An "opened"
// event does not rebuild the root: the host already shows the rows it read, and its clicks name them. The
// model may still list its rows afresh when it hears that it opens; rows that come back as they were take
// the ids the host read, except rows whose submenu it read, which keep theirs while they live.)
//
// Hosts cache what they read and show it at once on the next click, so the layout is never empty and
// never stale: a provided root that gave its rows back while closed is asked for again before the host
// reads anything and before a change is announced, and LayoutUpdated is never sent for an empty root, nor
// for a menu listed afresh as it was. What the host last read of each menu stays alive and choosable
// until the host opens the root again or is told of a new layout of that menu, even when the model has let
// it go meanwhile (a submenu the host still shows after its menu closed in the model).
//
// The model hears what it hears from the Qt presenter: menuNeedsUpdate() then menuWillOpen() when the host
// is about to show a menu (lazy submenus are built then, inside the call, since the host waits for the
// answer), menuDidClose() on "closed". A menu whose rows are still to come (Menu::isAwaitingContents: a
// folder still being listed) is not waited for on the main thread: the host's AboutToShow, "opened" or
// GetLayout (of a menu it never opened) is answered by a delayed reply once the rows are there, or after
// kLongestAnswerDelay at most; a "clicked" row
// runs its action on a later turn, after every open menu was told it closed. Hosts may never say that a menu
// closed (dismissed with Escape or a click elsewhere), so a menu counts as open on the host's word only while
// it asks to show or choose rows: kHostMenuLease after its last such request, every menu it opened is closed
// in the model. A menu it opened that someone else closes (our own popup took over) is no longer the host's,
// and neither is anything it opened below it. The host is told of a changed layout (LayoutUpdated with a new
// revision) or of changed rows (ItemsPropertiesUpdated) when a menu it has read changes: after a row's action
// ran, and whenever the model announces menuNeedsUpdate() on such a menu.
//
// A host opens a row's submenu when the row is clicked and never sends that click, so a row with an action
// of its own and a submenu (a file, a folder) has its submenu start with a row of the same title that runs
// the row's action, then a separator.
//
// Labels are single lines: hosts put a line feed on one line or wrap around it, so each further line of a
// row is a row of its own below it, which stands for the row. Rows the model leaves out of exports
// (MenuItem::isLeftOutOfExport: tips that are true only of our own popup) are not rows here.
//
// DBusMenu has neither modifier-revealed alternates nor hosted widgets: every alternate a modifier reveals
// is exported as a row of its own after its item, the empty placeholder rows are left out, and hosted rows
// become disabled informative rows: the row's title, else the view's exported form (its lines as the label,
// its picture as the icon; invisible while the form is empty, together with a separator it leaves stray;
// updated when the view says it changed), else the view's description.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    using RootProvider = std::function<std::shared_ptr<Menu>()>;

    static constexpr uint kVersion = 3;
    // Longest id list a group call accepts; each id can cost a row of properties in the reply.
    static constexpr int kMaxGroupSize = 4096;
    // Longest side of an exported picture in pixels; larger ones (previews) are scaled down to it.
    static constexpr int kLargestImageSide = 160;
    // How long after the host's last request the menus it opened count as open, counted from when the
    // host had its answer: a folder of tens of thousands of entries can take longer to list and send.
    static constexpr std::chrono::milliseconds kHostMenuLease{1000};
    // When a menu the host read is listed afresh, each new row takes the id of the first of the next this
    // many vanished rows that looks the same; a search bounded so, rather than through every vanished row.
    static constexpr std::ptrdiff_t kRelistedRowReach = 64;
    // Longest a host waits for its answer to AboutToShow (an "opened" event, GetLayout) while the menu's rows
    // are still to come; then it is answered with the rows there are, told to read the menu again, and told
    // of the rows (LayoutUpdated) once they come.
    static constexpr std::chrono::milliseconds kLongestAnswerDelay{1000};
    // About how much of a message a layout answer may take. A message holds 128 MiB and an array in it 64
    // MiB; past that the message cannot be sent and the bus drops the connection, and with it every status
    // item. The rows of a folder of tens of thousands of entries with their pictures pass it: past
    // kMostPictureBytes further rows go without their picture, past kMostLayoutBytes they are left out.
    static constexpr qsizetype kMostPictureBytes = 16 * 1024 * 1024;
    static constexpr qsizetype kMostLayoutBytes = 48 * 1024 * 1024;
    // A layout answer of at least this size (a folder of thousands of entries) is written into its message
    // off the main thread, which keeps answering meanwhile; changes are announced once it is sent, so that
    // the host never hears of a change before the layout it applies to.
    static constexpr qsizetype kLayoutWrittenAsideBytes = 1024 * 1024;
    // A host's layout of a menu of more rows than this (a folder of thousands of entries) is made at most
    // this many rows at a time, a slice per turn of the event loop, which answers everything else in
    // between; as for a layout written aside, changes meanwhile are announced once it is sent.
    static constexpr std::size_t kRowsPerSlice = 2048;
    // A slice goes this many rows at a time, for about this long a turn: what a row costs varies (its
    // picture, the rows a check matches it with, what an item lets go of), and several jobs may share a turn.
    static constexpr std::size_t kRowsPerRun = 256;
    static constexpr std::chrono::milliseconds kLongestTurn{4};

    // Exports `root`, which the caller keeps alive.
    DBusMenuExporter(QDBusConnection connection, QString objectPath, const std::shared_ptr<Menu> &root,
                     QObject *parent = nullptr);
    // Exports the menu `provider` returns, asked again every time the host is about to show the root.
    DBusMenuExporter(QDBusConnection connection, QString objectPath, RootProvider provider,
                     QObject *parent = nullptr);
    ~DBusMenuExporter() override;
    Q_DISABLE_COPY_MOVE(DBusMenuExporter)

    // False when the object path could not be registered on the connection (taken, or no bus).
    bool isRegistered() const { return m_registered; }
    const QString &objectPath() const { return m_objectPath; }
    uint revision() const { return m_revision; }

    uint version() const { return kVersion; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // A DBusMenu label: an underscore marks a mnemonic there, so literal ones are doubled.
    static QString escapedLabel(const QString &title);

    // Asks the host to show the whole menu, for a menu opened without a click on the icon (a shortcut)
    // where only the host can place a menu.
    void requestActivation();

public Q_SLOTS:
    // The D-Bus interface.
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                kestrova::platform::desktop::DBusMenuLayoutItem &layout);
    Q_SCRIPTABLE kestrova::platform::desktop::DBusMenuItemPropertiesList
    GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString &name);
    Q_SCRIPTABLE void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const kestrova::platform::desktop::DBusMenuEventList &events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

Q_SIGNALS:
    Q_SCRIPTABLE void
    ItemsPropertiesUpdated(const kestrova::platform::desktop::DBusMenuItemPropertiesList &updated,
                           const kestrova::platform::desktop::DBusMenuItemPropertyNamesList &removed);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

private:
    // Shared with the checks that read them over turns, which need no copy of a long menu's rows.
    using SharedRows = std::shared_ptr<const std::vector<DBusMenuItemProperties>>;
    // Holding a long menu's items over turns (see hold).
    struct HoldInSlices;
    // What the host was last given of a menu's rows, to tell it what changed.
    struct SentMenu {
        std::weak_ptr<Menu> menu;
        SharedRows rows = std::make_shared<const std::vector<DBusMenuItemProperties>>();
        Subscription needsUpdate;
        // Rows that were still to come when the host read the menu are announced once they are there.
        Subscription filled;
        // The items of those rows, alive while the host may show them (see hold), and their ids.
        std::vector<std::shared_ptr<MenuItem>> held;
        std::vector<int> heldIds;
        // Rows still being held, over turns.
        std::vector<std::shared_ptr<HoldInSlices>> holding;
        // Changes with every change of `rows`, never to one a menu had before (see m_rowsRevisions).
        std::uint64_t revision = 0;
        // What the others had, when one program read the menu while a change to it was still to be told
        // (see remember): they hear of the change all the same.
        SharedRows toldRows;
        std::uint64_t toldRevision = 0;
    };

    DBusMenuExporter(QDBusConnection connection, QString objectPath, QObject *parent);
    void registerObject();

    std::shared_ptr<Menu> root();
    void rebuildRoot();
    // Before the host reads anything or is told of a change: the provided root, given back while closed,
    // is filled again, with the ids the host read kept for the rows that come back.
    // In a change check, the rows of a long root are matched by the check itself, a slice at a time.
    void keepRootFilled(bool isChangeCheck = false);
    // A long root filled again only for a change check gives its rows back once the check found nothing
    // the host must read again: the host's rows are held, and the next reading or opening fills it anew.
    void giveRootBackAfterCheck();
    // A host's request to show or choose: the root is filled, and the menus the host opened stay open for
    // another lease. (Reads renew nothing: any program may read the layout, and hosts re-read it while
    // they show a menu the user has long left.)
    void hostRequestArrived();
    void hostLeaseEnded();
    // The menus the host opened stay open for another lease from now.
    void renewHostLease();
    // Once the host has every answer it waits for (the lease does not run out meanwhile), its lease starts
    // again.
    void answerSent();
    int idFor(const std::shared_ptr<MenuItem> &item);
    std::shared_ptr<MenuItem> itemFor(int id);
    // The menu whose rows id holds: the root for 0, else the row's submenu; null when there is none.
    std::shared_ptr<Menu> menuFor(int id);
    bool isInExportedTree(const MenuItem &item);
    QVariantMap propertiesFor(int id);

    // With `furtherLines`, the lines of the row's label after its first, which the label leaves out.
    QVariantMap properties(const MenuItem &item, bool isShown, QStringList *furtherLines = nullptr);
    // Where the rows of a menu's source are among its exported items.
    struct SourceBlock {
        std::shared_ptr<const MenuRowSource> source;
        std::size_t at = 0;
    };
    // The items of `menu` that are rows in the export, each with whether it shows. With `block`, the rows
    // of the menu's source are left unmade (null) and `block` says where.
    std::vector<std::pair<std::shared_ptr<MenuItem>, bool>> exportedItems(const Menu &menu,
                                                                          SourceBlock *block = nullptr);
    // A row's properties and the further lines of its label, as properties() makes them.
    struct RowLooks {
        QVariantMap properties;
        QStringList furtherLines;
    };
    // A menu's exported items, listed once for two passes over the same menu on one turn, with what was
    // made of each row meanwhile (in the same order).
    using ListedItems = std::vector<std::pair<std::shared_ptr<MenuItem>, bool>>;
    struct Looks {
        bool isListed = false;
        ListedItems items;
        // What was made ahead of items [rowsFrom, rowsFrom + rows.size()), each taken once.
        std::size_t rowsFrom = 0;
        std::vector<std::optional<RowLooks>> rows;
        std::optional<RowLooks> *madeAhead(std::size_t index) {
            return index >= rowsFrom && index - rowsFrom < rows.size() ? &rows[index - rowsFrom] : nullptr;
        }
    };
    // With `looks`, the items are listed there, or taken from there with what was made of them.
    std::vector<DBusMenuItemProperties> rows(const Menu &menu, Looks *looks = nullptr);
    // Appends the rows of looks.items[from, to) to `rows`, as rows() makes them.
    void appendRows(std::vector<DBusMenuItemProperties> &rows, Looks &looks, std::size_t from,
                    std::size_t to);
    // Listens to the exported form of the row's hosted view, if it has one.
    void watchHostedView(int id, const MenuItem &item);
    void keepIdsOfRelistedRows(const std::shared_ptr<Menu> &menu);
    // The same, knowing what the host was given of `menu` (a look-up per menu would make a check of every
    // menu the host read grow with the square of their number).
    // With `looks`, the rows made while looking are kept there.
    void keepIdsOfRelistedRows(const std::shared_ptr<Menu> &menu, const SentMenu &sent,
                               Looks *looks = nullptr);
    // Whether the host's row is no longer in `menu` and may be taken by a row listed again there.
    bool isOrphan(const DBusMenuItemProperties &row, const Menu &menu);
    // Gives each new row among looks.items[from, to) that looks as one of `orphans` did, from the
    // `next`th on, that orphan's id; what is made of the rows meanwhile is kept in looks.rows.
    void takeIdsOfOrphans(Looks &looks, const std::vector<const DBusMenuItemProperties *> &orphans,
                          std::size_t &next, std::size_t from, std::size_t to);
    // The row that runs the action of the row whose submenu `menu` is, and its separator; none when that
    // row has no action to run.
    std::vector<DBusMenuItemProperties> ownActionRows(const Menu &menu);
    // With `ownerLooks`, the owner's row as rows() made it.
    std::vector<DBusMenuItemProperties> ownActionRows(const MenuItem *owner,
                                                      const QVariantMap *ownerLooks = nullptr);
    // The rows of the further lines of the row `ownerId`, which look as `owner` does.
    std::vector<DBusMenuItemProperties> lineRows(int ownerId, const QVariantMap &owner,
                                                 const QStringList &lines);
    int madeRow(int ownerId);
    // The row that a row made for another (by ownActionRows or lineRows) stands for; else null.
    std::shared_ptr<MenuItem> madeRowOwner(int id);
    // The row `id` as rows() makes it in `menu`; empty when it is not there.
    QVariantMap rowIn(const Menu *menu, int id);
    bool isKnownId(int id);
    // Makes room in the id maps for a menu of `rows` rows read at once.
    void reserveFor(std::size_t rows);
    // The layout of the menu under `id` as a host asked for it, bounded as said at kMostLayoutBytes.
    DBusMenuLayoutItem layoutAnswer(int id, int depth, const QStringList &names, qsizetype *bytes = nullptr);
    // Answers `call` with the layout of the menu under `id`, made in slices when it is long (kRowsPerSlice).
    void answerLayout(const QDBusMessage &call, QDBusConnection connection, int id, int depth,
                      const QStringList &names);
    struct LayoutInSlices;
    static bool laysOutInSlices(const Menu *menu, int depth);
    // Whether a check of `menu`, the menu under `id` (for a change, or for a host opening it), is made over
    // turns: either side is long.
    bool isCheckedInSlices(int id, const Menu &menu) const;
    void continueLayout(const std::shared_ptr<LayoutInSlices> &layout);
    // Lists `menu` for a job made over turns: the rows of its source are left to be made a slice at a time.
    void listForSlices(const Menu &menu, Looks &looks, SourceBlock &source,
                       std::vector<DBusMenuItemProperties> &rows);
    // Runs `run(from, to)` over [from, end) kRowsPerRun rows at a time, for what is left of the turn's time
    // (see kLongestTurn) and at most kRowsPerSlice rows; where it stopped, or nothing once a run returned
    // false.
    template <typename Run> std::optional<std::size_t> forATurn(std::size_t from, std::size_t end, Run run);
    // Work over turns (layouts, checks, letting go, forgetting) is queued, and a turn runs what it has time
    // for: the jobs of several long menus share a turn's time rather than taking it each.
    void queueWork(std::function<void()> work);
    void runQueuedWork();
    // Runs `next` with `job` on a later turn, while the job lives.
    template <typename Job>
    void continueLater(const std::shared_ptr<Job> &job,
                       void (DBusMenuExporter::*next)(const std::shared_ptr<Job> &));
    // Makes the rows of `block` among looks.items[from, to); false when the menu has another source now.
    bool makeSourceRows(const Menu &menu, Looks &looks, const SourceBlock &block, std::size_t from,
                        std::size_t to);
    // Answers `call` with `layout` (see kLayoutWrittenAsideBytes).
    void sendLayout(const QDBusMessage &call, QDBusConnection connection, DBusMenuLayoutItem layout,
                    qsizetype bytes);
    void layoutWritten();
    struct LayoutSize {
        qsizetype bytes = 0;
        qsizetype rowsLeftOut = 0;
    };
    void warnOfRowsLeftOut(int id, const LayoutSize &size);
    DBusMenuLayoutItem layout(int id, const Menu *menu, QVariantMap properties, int depth,
                              const QStringList &names, LayoutSize &size);
    // Appends to `node` the layouts of `rows`, the rows of the menu it stands for.
    void layOutRows(DBusMenuLayoutItem &node, std::span<const DBusMenuItemProperties> rows, int depth,
                    const QStringList &names, LayoutSize &size);
    // `isRead` unless the host is told of `rows` at once. With `listed`, the items the rows were made of,
    // which a long menu's hold over turns may take.
    void remember(int id, const std::shared_ptr<Menu> &menu, std::vector<DBusMenuItemProperties> rows,
                  bool isRead = true, ListedItems *listed = nullptr);
    // Whether a change check or a look at what the host is about to show is yet to tell of `id`'s rows.
    bool isChangeUntold(int id) const;
    // Keeps the items of `rows`, what the host may now show of `sent`, alive and choosable until it opens
    // the root again (releaseHolds): beside what it had when `rows` were read, in its place when the host
    // was told of them. Rows of a long menu whose items were `listed` are held over turns, those items kept
    // alive meanwhile (and the rows held at once when the host asks for a row that left the menu).
    void hold(int id, SentMenu &sent, const SharedRows &rows, bool isRead, ListedItems *listed = nullptr);
    void holdRows(int id, SentMenu &sent, const std::vector<DBusMenuItemProperties> &rows, std::size_t from,
                  std::size_t to);
    void continueHold(const std::shared_ptr<HoldInSlices> &holding);
    // Holds what is still being held over turns at once; whether there was any.
    bool finishHolds();
    void endHolding(SentMenu &sent);
    // What `sent` held is no longer held for it.
    void unhold(int id, SentMenu &sent);
    void releaseHolds();
    // Items a host may no longer choose are let go of a slice per turn: a long folder's rows take tens of
    // milliseconds to free.
    void letGo(std::vector<std::shared_ptr<MenuItem>> items);
    void letGo(ListedItems listed);
    bool isLettingGo() const;
    template <typename List> void letGoLater(std::vector<List> &lists, List list);
    void letGoOfSlice();
    // Rows, or maps of items, no longer needed are freed off the main thread when there are many.
    template <typename Container> static void discardAside(Container container);
    // Freed by their last holder, off the main thread when there are many.
    static void discardAside(SharedRows rows);
    std::unordered_map<int, SentMenu>::iterator forgetSent(std::unordered_map<int, SentMenu>::iterator sent);
    bool handleEvent(int id, const QString &eventId);
    // The menu id names, opened for the host (built afresh for the root); null when there is none.
    std::shared_ptr<Menu> openForHost(int id);
    // Tells the host whether the menu it is about to show differs from what it has; true when it does.
    struct Comparison;
    bool announceShown(int id, const std::shared_ptr<Menu> &menu);
    bool announceShown(int id, const std::shared_ptr<Menu> &menu, std::vector<DBusMenuItemProperties> now,
                       const Comparison *given = nullptr, ListedItems *listed = nullptr);
    // For the D-Bus call being handled, when one of the menus it opened is still awaiting its rows: the
    // call is answered later (see kLongestAnswerDelay); true when it is. With `isShowing`, so is a call
    // that shows a long menu.
    bool answersWhenFilled(const std::vector<std::pair<int, std::shared_ptr<Menu>>> &menus,
                           const QList<int> &idErrors, bool isShowing = false);
    struct PendingAnswer;
    void answerPending(const std::shared_ptr<PendingAnswer> &pending);
    void replyToPending(const std::shared_ptr<PendingAnswer> &pending);
    static QVariantList replyArguments(const PendingAnswer &pending, const QList<int> &updatesNeeded);
    void open(const std::shared_ptr<Menu> &menu);
    // Closes `menu` and every menu the host opened below it; the model hears it deepest first.
    void close(const Menu &menu);
    void closeAll();
    void scheduleChangeCheck();
    void announceChanges();
    // What a change check found to tell the host.
    struct Changes {
        std::vector<int> changedMenus;
        DBusMenuItemPropertiesList updated;
        qsizetype updatedBytes = 0;
        DBusMenuItemPropertyNamesList removed;
    };
    // How rows made now differ from what the host has, found a slice at a time for a long menu.
    struct Comparison {
        std::size_t compared = 0;
        bool idsDiffer = false;
        bool looksDiffer = false;
        // The rows whose looks differ, by index.
        std::vector<std::size_t> differing;
        // Whether every row the host has still answers, asked of rows [0, known).
        std::size_t known = 0;
        bool isEveryRowKnown = true;
        // The `SentMenu::revision` of the rows compared with.
        std::uint64_t ofRevision = 0;
        // What the same rows were compared with before (see continueCheck).
        std::shared_ptr<const Comparison> earlier;
    };
    // Of `given` and those before it, the one that compared the rows of that revision.
    static const Comparison *comparedWith(const Comparison *given, std::uint64_t revision);
    // How `now` differs from `before`, the rows of `revision`, whether every row of `before` still answers
    // included when that decides: `given` if it compared those rows, else compared here into `made`.
    const Comparison &comparisonOf(const std::vector<DBusMenuItemProperties> &before, std::uint64_t revision,
                                   const std::vector<DBusMenuItemProperties> &now, const Comparison *given,
                                   Comparison &made);
    // Whether the programs that still have `sent`'s told rows must read the menu again to have `now`;
    // those rows are then let go of.
    bool leavesReadersBehind(SentMenu &sent, const std::vector<DBusMenuItemProperties> &now,
                             const Comparison *given);
    // Compares rows [comparison.compared, to).
    static void compare(const std::vector<DBusMenuItemProperties> &before,
                        const std::vector<DBusMenuItemProperties> &now, std::size_t to,
                        Comparison &comparison);
    // Whether rows [comparison.known, to) answer too.
    bool isKnown(const std::vector<DBusMenuItemProperties> &rows, Comparison &comparison, std::size_t to);
    void replaceRows(SentMenu &sent, SharedRows rows);
    // Compares `now`, the rows of the menu under `id`, with what the host was given of it (`sent`), which
    // it then is; with `given`, as found already when it compared those rows.
    void compareWithSent(int id, SentMenu &sent, std::vector<DBusMenuItemProperties> now, Changes &changes,
                         const Comparison *given = nullptr, ListedItems *listed = nullptr);
    void tell(const Changes &changes);
    // A change check of a menu of more rows than kRowsPerSlice is made over turns, as its layout is.
    struct CheckInSlices;
    // With `keepsIds`, rows listed again take the ids of the host's rows they were.
    std::shared_ptr<CheckInSlices>
    startCheck(int id, const std::shared_ptr<Menu> &menu, bool keepsIds,
               std::function<void(std::vector<DBusMenuItemProperties> *, Comparison *, ListedItems *)> done);
    void startChangeCheck(int id, const std::shared_ptr<Menu> &menu);
    void continueCheck(const std::shared_ptr<CheckInSlices> &check);
    void forgetDeadItems();
    // Forgets the id of an item that is gone.
    void forget(int id);
    QByteArray pngData(const QImage &image);
    // Answers the D-Bus call being handled with an InvalidArgs error.
    void fail(const QString &message);

    QDBusConnection m_connection;
    QString m_objectPath;
    bool m_registered = false;
    RootProvider m_provider;
    std::shared_ptr<Menu> m_providedRoot;
    std::weak_ptr<Menu> m_root;
    uint m_revision = 1;
    // The last `SentMenu::revision` given, counted across menus: an id forgotten and read again starts at
    // none a comparison may have been made against.
    std::uint64_t m_rowsRevisions = 0;
    int m_nextId = 1;
    struct Entry {
        std::weak_ptr<MenuItem> item;
        const MenuItem *address = nullptr;
        // How many of the host's menus hold the item (see hold), the last of them, and the round of holds
        // those count in (see m_holdRound).
        int holds = 0;
        int heldBy = kHeldByNone;
        std::uint64_t holdRound = 0;
        // Where the last of them holds it (SentMenu::held).
        std::size_t heldAt = 0;
    };
    static constexpr int kHeldByNone = -1;
    // Whether a menu of the host's holds the entry's item.
    bool isHeld(const Entry &entry) const { return entry.holds > 0 && entry.holdRound == m_holdRound; }
    // Every hold ends at once when the host opens the root afresh: counts of an earlier round are none.
    std::uint64_t m_holdRound = 1;
    std::unordered_map<int, Entry> m_entries;
    std::unordered_map<const MenuItem *, int> m_ids;
    std::unordered_map<int, SentMenu> m_sent;
    // Rows made for a row beyond its own: the row that runs its action atop its submenu and that row's
    // separator, and one row per further line of its label.
    struct MadeRows {
        int ownAction = 0;
        int ownActionSeparator = 0;
        std::vector<int> lines;
    };
    // Rows whose submenu, not made yet, the host read as the row atop it (see layOutRows): as for a submenu
    // it read, the row keeps its id while it lives.
    std::unordered_set<int> m_readUnmade;
    // By the id of the row they are made for, and back.
    std::unordered_map<int, MadeRows> m_madeRows;
    std::unordered_map<int, int> m_madeRowOwners;
    struct OpenMenu {
        std::weak_ptr<Menu> menu;
        // Hears the menu closed by someone else.
        Subscription closing;
    };
    // The menus the host opened, in opening order, so closing goes deepest first.
    std::vector<OpenMenu> m_openMenus;
    QTimer m_hostLease;
    // How many sent menus hold each item.
    QHash<qint64, QByteArray> m_pngCache;
    struct HostedWatch {
        std::weak_ptr<const HostedViewFactory> view;
        Subscription subscription;
    };
    // By row id.
    std::unordered_map<int, HostedWatch> m_hostedWatches;
    bool m_changeCheckPending = false;
    // Whether the root was last filled for a change check, with no request from the host since.
    bool m_isRootFilledForCheck = false;
    // Layout answers being made in slices or written off the main thread, and whether a change check
    // waits for them.
    int m_layoutsBeingWritten = 0;
    std::vector<std::shared_ptr<LayoutInSlices>> m_layoutsInSlices;
    bool m_changeCheckHeld = false;
    std::vector<std::shared_ptr<CheckInSlices>> m_checksInSlices;
    // Lists of items let go of, each whole as it was given.
    std::vector<std::vector<std::shared_ptr<MenuItem>>> m_lettingGo;
    std::vector<ListedItems> m_lettingGoListed;
    bool m_isLettingGoLater = false;
    bool m_isForgettingLater = false;
    std::vector<std::function<void()>> m_queuedWork;
    bool m_isWorkQueued = false;
    // Running while queued work runs: since the turn's first job started.
    QElapsedTimer m_turn;
    // The bucket of m_entries the next look for dead items starts at.
    std::size_t m_forgetFrom = 0;
    bool m_notifyingModel = false;
    // While a kept call is answered: whether it failed, and why.
    // Calls answered once their menu's rows are there.
    std::vector<std::shared_ptr<PendingAnswer>> m_pendingAnswers;
};

} // namespace kestrova::platform::desktop
