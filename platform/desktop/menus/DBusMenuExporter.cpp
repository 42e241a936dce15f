#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/menus/DBusStructure_p.h"

#include "platform/FreedMemory.h"
#include "platform/menus/Menu.h"
#include "platform/menus/MenuItem.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <span>
#include <unordered_set>

namespace kestrova::platform::desktop {

Q_LOGGING_CATEGORY(lcDBusMenu, "kestrova.platform.desktop.dbusmenu")

namespace {

const QString kType = QStringLiteral("type");
const QString kLabel = QStringLiteral("label");
const QString kEnabled = QStringLiteral("enabled");
const QString kVisible = QStringLiteral("visible");
const QString kIconData = QStringLiteral("icon-data");
const QString kToggleType = QStringLiteral("toggle-type");
const QString kToggleState = QStringLiteral("toggle-state");
const QString kChildrenDisplay = QStringLiteral("children-display");
const QString kDisposition = QStringLiteral("disposition");

// What a host assumes for a property the layout leaves out.
QVariantMap defaultProperties() {
    return {{kType, QStringLiteral("standard")},
            {kLabel, QString()},
            {kEnabled, true},
            {kVisible, true},
            {kIconData, QByteArray()},
            {kToggleType, QString()},
            {kToggleState, -1},
            {kChildrenDisplay, QString()},
            {kDisposition, QStringLiteral("normal")}};
}

QVariantMap filtered(const QVariantMap &properties, const QStringList &names) {
    if (names.isEmpty())
        return properties;
    QVariantMap kept;
    for (const QString &name : names) {
        if (const auto it = properties.find(name); it != properties.end())
            kept.insert(name, *it);
    }
    return kept;
}

qsizetype utf8Size(const QString &text) {
    qsizetype bytes = 0;
    for (const QChar character : text)
        bytes += character.unicode() < 0x80                               ? 1
                 : character.unicode() < 0x800 || character.isSurrogate() ? 2
                                                                          : 3;
    return bytes;
}

// At least what a layout node with `properties` takes in a message, its children apart: each property's
// name and value with their type signatures and the most padding they can need.
qsizetype marshalledSize(const QVariantMap &properties) {
    qsizetype bytes = 40;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        bytes += 24 + it.key().size();
        if (it->typeId() == QMetaType::QByteArray)
            bytes += it->toByteArray().size();
        else if (it->typeId() == QMetaType::QString)
            bytes += utf8Size(it->toString());
        else
            bytes += 8;
    }
    return bytes;
}

// Counts a row's properties into the size of the message that carries them; past
// DBusMenuExporter::kMostPictureBytes the row goes without its picture.
void countIn(QVariantMap &properties, qsizetype &bytes) {
    if (bytes > DBusMenuExporter::kMostPictureBytes)
        properties.remove(kIconData);
    bytes += marshalledSize(properties);
}

bool isPlaceholder(const MenuItem &item) {
    return item.hostedView() && item.hostedView()->isEmptyView();
}

// The label of a row without a title: what its hosted view says, else what the row is.
QString untitledLabel(const MenuItem &item, const std::optional<HostedViewFactory::ExportedForm> &form) {
    if (!form)
        return item.hostedView() ? item.hostedView()->description() : item.accessibilityDescription();
    if (!form->lines.isEmpty())
        return form->lines.join(QLatin1Char('\n'));
    // A picture alone still gets a label: hosts write a placeholder text where a row has none.
    return form->image.isNull() ? QString() : QStringLiteral(" ");
}

// The lines of a label, empty ones (a paragraph break) left out.
QStringList labelLines(const QString &label) {
    if (!label.contains(QLatin1Char('\n')))
        return label.isEmpty() ? QStringList() : QStringList(label);
    QStringList lines = label.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > 1)
        lines.removeIf([](const QString &line) { return line.trimmed().isEmpty(); });
    return lines;
}

// One map shared by every separator row: a folder's rows each head their submenu with one.
const QVariantMap &separatorProperties() {
    static const QVariantMap separator{{kType, QStringLiteral("separator")}};
    return separator;
}

const QVariantMap &hiddenSeparatorProperties() {
    static const QVariantMap separator{{kType, QStringLiteral("separator")}, {kVisible, false}};
    return separator;
}

bool isVisible(const QVariantMap &properties) {
    const auto visible = properties.constFind(kVisible);
    return visible == properties.constEnd() || visible->toBool();
}

bool isSeparator(const QVariantMap &properties) {
    const auto type = properties.constFind(kType);
    return type != properties.constEnd() && type->toString() == QLatin1String("separator");
}

// A hosted row out of sight can leave two separators together, or one at the end, where the model saw a
// row between them: those separators go out of sight too, and come back with the row.
// Rows are looked at as they are appended, a run at a time for a long menu; the last separator is known to
// be stray only at the end.
struct StraySeparators {
    std::optional<std::size_t> last;
    bool rowSinceSeparator = false;
    std::size_t next = 0;

    void look(std::vector<DBusMenuItemProperties> &rows) {
        for (; next < rows.size(); ++next) {
            DBusMenuItemProperties &row = rows[next];
            if (!isVisible(row.properties))
                continue;
            if (!isSeparator(row.properties)) {
                rowSinceSeparator = true;
                last.reset();
            } else if (rowSinceSeparator) {
                rowSinceSeparator = false;
                last = next;
            } else {
                row.properties = hiddenSeparatorProperties();
            }
        }
    }
    void end(std::vector<DBusMenuItemProperties> &rows) {
        look(rows);
        if (last)
            rows[*last].properties = hiddenSeparatorProperties();
    }
};

void hideStraySeparators(std::vector<DBusMenuItemProperties> &rows) {
    StraySeparators().end(rows);
}

// Equal rows, told faster than QVariantMap's own comparison for the rows of a long folder: their pictures
// are one picture's bytes over and over, alike without being read through.
// Makes room in `map` for `more` entries, for twice as many: a map made room for every time it grows would
// be rebuilt at every reading of a long menu, whose old rows are still counted until they are forgotten.
template <typename Map> void makeRoom(Map &map, std::size_t more) {
    if (const std::size_t needed = map.size() + more;
        float(needed) > float(map.bucket_count()) * map.max_load_factor())
        map.reserve(2 * needed);
}

bool sameProperties(const QVariantMap &left, const QVariantMap &right) {
    if (left.size() != right.size())
        return false;
    for (auto a = left.cbegin(), b = right.cbegin(); a != left.cend(); ++a, ++b) {
        if (a.key() != b.key())
            return false;
        if (a->typeId() == QMetaType::QByteArray && b->typeId() == QMetaType::QByteArray) {
            const auto *leftBytes = static_cast<const QByteArray *>(a->constData());
            const auto *rightBytes = static_cast<const QByteArray *>(b->constData());
            if (leftBytes->constData() == rightBytes->constData() && leftBytes->size() == rightBytes->size())
                continue;
        }
        if (*a != *b)
            return false;
    }
    return true;
}

bool sameRows(const std::vector<DBusMenuItemProperties> &left,
              const std::vector<DBusMenuItemProperties> &right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](const auto &a, const auto &b) {
        return a.id == b.id && sameProperties(a.properties, b.properties);
    });
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuLayoutItem &item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuLayoutItem &child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuLayoutItem &item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    item.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant variant;
        argument >> variant;
        DBusMenuLayoutItem child;
        const QVariant value = variant.variant();
        if (value.canConvert<QDBusArgument>())
            value.value<QDBusArgument>() >> child;
        else if (value.canConvert<DBusMenuLayoutItem>())
            child = value.value<DBusMenuLayoutItem>();
        item.children.append(child);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemProperties &item) {
    return writeStructure(argument, item.id, item.properties);
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemProperties &item) {
    return readStructure(argument, item.id, item.properties);
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemPropertyNames &item) {
    return writeStructure(argument, item.id, item.names);
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemPropertyNames &item) {
    return readStructure(argument, item.id, item.names);
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuEvent &event) {
    return writeStructure(argument, event.id, event.eventId, event.data, event.timestamp);
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuEvent &event) {
    return readStructure(argument, event.id, event.eventId, event.data, event.timestamp);
}

void registerDBusMenuTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusMenuLayoutItem>();
        qDBusRegisterMetaType<DBusMenuItemProperties>();
        qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
        qDBusRegisterMetaType<DBusMenuItemPropertyNames>();
        qDBusRegisterMetaType<DBusMenuItemPropertyNamesList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        qDBusRegisterMetaType<QList<int>>();
        // Signals are relayed by the names their parameters are declared with.
        qRegisterMetaType<DBusMenuItemPropertiesList>(
            "kestrova::platform::desktop::DBusMenuItemPropertiesList");
        qRegisterMetaType<DBusMenuItemPropertyNamesList>(
            "kestrova::platform::desktop::DBusMenuItemPropertyNamesList");
        qRegisterMetaType<DBusMenuEventList>("kestrova::platform::desktop::DBusMenuEventList");
        return true;
    }();
    Q_UNUSED(registered);
}

struct DBusMenuExporter::PendingAnswer {
    PendingAnswer(QDBusMessage call, QDBusConnection connection, uint revision)
        : call(std::move(call))
        , connection(std::move(connection))
        , revision(revision) {}

    QDBusMessage call;
    QDBusConnection connection;
    // The menus the call opened, by id, whose rows it waits for.
    std::vector<std::pair<int, std::weak_ptr<Menu>>> menus;
    // What the call answers besides: the ids it did not know.
    QList<int> idErrors;
    // The revision the host knew when it asked.
    uint revision = 0;
    std::vector<Subscription> filled;
    QTimer bound;
    // Once the rows are there: the menus being looked at over turns, and those the host should read again.
    bool isAnswering = false;
    int checks = 0;
    QList<int> updatesNeeded;

    bool isWaiting() const {
        return std::any_of(menus.begin(), menus.end(), [](const auto &entry) {
            const auto menu = entry.second.lock();
            return menu && menu->isAwaitingContents();
        });
    }
};

struct DBusMenuExporter::CheckInSlices {
    int id = 0;
    std::weak_ptr<Menu> menu;
    // What the host had when the check began, and of it the rows no longer in the menu, found a slice at
    // a time, then matched with the menu's new rows.
    bool hasBefore = false;
    SharedRows before = std::make_shared<const std::vector<DBusMenuItemProperties>>();
    std::size_t nextBefore = 0;
    std::vector<const DBusMenuItemProperties *> orphans;
    std::size_t nextOrphan = 0;
    // The menu's items as they were when the check began, held until it ends; the rows of its source are
    // made a slice at a time.
    Looks looks;
    SourceBlock source;
    std::vector<DBusMenuItemProperties> rows;
    std::size_t nextItem = 0;
    StraySeparators separators;
    Comparison comparison;
    // Whether rows listed again take the ids of the host's rows they were (a change check), else only the
    // rows are made (for a menu the host is about to show).
    bool keepsIds = false;
    // Given the rows made, or null when the menu left the tree, has another menu under its id or is being
    // listed afresh; how they differ from what the host has, unless it was given other rows meanwhile; and
    // the items they were made of.
    std::function<void(std::vector<DBusMenuItemProperties> *, Comparison *, ListedItems *)> done;
    // Whether another check was asked for meanwhile: it runs once this one has ended.
    bool again = false;
    bool isRestarted = false;
    int recompared = 0;
};

struct DBusMenuExporter::HoldInSlices {
    int id = 0;
    SharedRows rows;
    std::size_t next = 0;
    // The items of the rows, alive until they are held.
    ListedItems kept;
};

struct DBusMenuExporter::LayoutInSlices {
    QDBusMessage call;
    QDBusConnection connection{QString()};
    int id = 0;
    int depth = 0;
    QStringList names;
    std::weak_ptr<Menu> menu;
    DBusMenuLayoutItem node;
    LayoutSize size;
    // The menu's items as they were when the host asked, held until it has its answer; the rows of its
    // source are made a slice at a time.
    Looks looks;
    SourceBlock source;
    std::vector<DBusMenuItemProperties> rows;
    StraySeparators separators;
    // The next item to make a row of, then the next row to lay out.
    std::size_t nextItem = 0;
    std::size_t nextRow = 0;
    // Whether the model said the menu changed meanwhile: the host is told once it has its answer.
    Subscription needsUpdate;
    bool changed = false;
};

DBusMenuExporter::DBusMenuExporter(QDBusConnection connection, QString objectPath, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_objectPath(std::move(objectPath)) {
    m_hostLease.setSingleShot(true);
    m_hostLease.setInterval(kHostMenuLease);
    connect(&m_hostLease, &QTimer::timeout, this, &DBusMenuExporter::hostLeaseEnded);
}

DBusMenuExporter::DBusMenuExporter(QDBusConnection connection, QString objectPath,
                                   const std::shared_ptr<Menu> &root, QObject *parent)
    : DBusMenuExporter(std::move(connection), std::move(objectPath), parent) {
    m_root = root;
    registerObject();
}

DBusMenuExporter::DBusMenuExporter(QDBusConnection connection, QString objectPath, RootProvider provider,
                                   QObject *parent)
    : DBusMenuExporter(std::move(connection), std::move(objectPath), parent) {
    m_provider = std::move(provider);
    registerObject();
}

DBusMenuExporter::~DBusMenuExporter() {
    // The items a check holds go while the exporter is whole: their closures may look at it.
    std::exchange(m_checksInSlices, {}).clear();
    // A host waiting for an answer gets one: the menu goes with the object.
    for (const auto &pending : std::exchange(m_pendingAnswers, {})) {
        pending->filled.clear();
        pending->connection.send(pending->call.createReply(replyArguments(*pending, {})));
    }
    for (const auto &layout : std::exchange(m_layoutsInSlices, {})) {
        layout->connection.send(layout->call.createReply(
            {m_revision, QVariant::fromValue(DBusMenuLayoutItem{layout->id, {}, {}})}));
    }
    // Rows the host was given go first: a menu that lives only through them has no owner left to tell.
    releaseHolds();
    const bool wasLettingGo = isLettingGo();
    while (!m_lettingGo.empty() || !m_lettingGoListed.empty()) {
        std::exchange(m_lettingGo, {}).clear();
        std::exchange(m_lettingGoListed, {}).clear();
    }
    if (wasLettingGo)
        giveBackFreedMemorySoon();
    // The host's menu goes with the object: the model must not stay open, or it would never open again.
    closeAll();
    if (m_registered)
        m_connection.unregisterObject(m_objectPath);
}

void DBusMenuExporter::registerObject() {
    registerDBusMenuTypes();
    m_registered = m_connection.isConnected() &&
                   m_connection.registerObject(m_objectPath, this, QDBusConnection::ExportScriptableContents);
    if (!m_registered)
        qCWarning(lcDBusMenu) << "Could not export the menu at" << m_objectPath;
}

QString DBusMenuExporter::escapedLabel(const QString &title) {
    QString escaped = title;
    escaped.replace(QLatin1Char('_'), QStringLiteral("__"));
    return escaped;
}

std::shared_ptr<Menu> DBusMenuExporter::root() {
    if (auto menu = m_root.lock())
        return menu;
    // A host may read the layout before it ever opens the menu.
    if (m_provider && !m_providedRoot)
        rebuildRoot();
    return m_root.lock();
}

void DBusMenuExporter::rebuildRoot() {
    if (!m_provider)
        return;
    closeAll();
    releaseHolds();
    m_providedRoot = m_provider();
    m_root = m_providedRoot;
}

void DBusMenuExporter::keepRootFilled(bool isChangeCheck) {
    if (!isChangeCheck)
        m_isRootFilledForCheck = false;
    const auto menu = m_root.lock();
    // A menu whose rows are still to come is built again once they are there.
    if (!m_provider || !menu || menu->isOpen() || !menu->isEmpty() || menu->isAwaitingContents())
        return;
    m_notifyingModel = true;
    m_providedRoot = m_provider();
    m_notifyingModel = false;
    m_root = m_providedRoot;
    m_isRootFilledForCheck = isChangeCheck;
    if (m_providedRoot && !(isChangeCheck && isCheckedInSlices(0, *m_providedRoot)))
        keepIdsOfRelistedRows(m_providedRoot);
}

void DBusMenuExporter::giveRootBackAfterCheck() {
    const auto menu = m_root.lock();
    if (!std::exchange(m_isRootFilledForCheck, false) || !menu || menu->isOpen() ||
        menu->isAwaitingContents())
        return;
    menu->releaseAllItemsGradually();
}

void DBusMenuExporter::hostRequestArrived() {
    keepRootFilled();
    renewHostLease();
}

void DBusMenuExporter::hostLeaseEnded() {
    if (m_openMenus.empty())
        return;
    // The host cannot ask for anything while it waits for us (the rows of a long folder still to come, or
    // its layout still being written): its time counts from when it has its answer.
    if (!m_pendingAnswers.empty() || m_layoutsBeingWritten > 0) {
        m_hostLease.start();
        return;
    }
    // The host has been quiet for a while: whether it still shows the menu or dismissed it without a word,
    // the model is not held open on its say-so. What it shows stays choosable (see hold).
    closeAll();
    scheduleChangeCheck();
}

int DBusMenuExporter::idFor(const std::shared_ptr<MenuItem> &item) {
    if (const auto it = m_ids.find(item.get()); it != m_ids.end()) {
        const Entry &entry = m_entries[it->second];
        if (entry.item.lock() == item)
            return it->second;
        // A new item at the address of one that died.
        m_entries.erase(it->second);
        m_ids.erase(it);
    }
    const int id = m_nextId++;
    m_entries[id] = Entry{item, item.get()};
    m_ids[item.get()] = id;
    return id;
}

void DBusMenuExporter::forgetDeadItems() {
    // The ids of a long folder are looked through a share per turn, from where the last turn left off: an
    // id whose item is gone answers nothing meanwhile, and a new item at its address gets an id of its own
    // (see idFor). Ids met again after the map grew are looked at again, which is harmless.
    // Forgetting costs more than looking: a run at a time, for as long as a turn allows.
    if (m_forgetFrom >= m_entries.bucket_count())
        m_forgetFrom = 0;
    const auto left = forATurn(0, kRowsPerSlice, [this](std::size_t from, std::size_t to) {
        std::vector<int> dead;
        for (std::size_t looked = from; m_forgetFrom < m_entries.bucket_count() && looked < to;
             ++m_forgetFrom) {
            for (auto entry = m_entries.cbegin(m_forgetFrom); entry != m_entries.cend(m_forgetFrom);
                 ++entry) {
                ++looked;
                if (entry->second.item.expired())
                    dead.push_back(entry->first);
            }
        }
        for (const int id : dead)
            forget(id);
        return m_forgetFrom < m_entries.bucket_count();
    });
    if (left && m_forgetFrom < m_entries.bucket_count()) {
        if (!std::exchange(m_isForgettingLater, true)) {
            queueWork([this] {
                m_isForgettingLater = false;
                forgetDeadItems();
            });
        }
        return;
    }
    m_forgetFrom = 0;
}

void DBusMenuExporter::forget(int id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    if (const auto known = m_ids.find(it->second.address); known != m_ids.end() && known->second == id)
        m_ids.erase(known);
    if (const auto sent = m_sent.find(id); sent != m_sent.end())
        forgetSent(sent);
    m_hostedWatches.erase(id);
    m_readUnmade.erase(id);
    if (const auto made = m_madeRows.find(id); made != m_madeRows.end()) {
        m_madeRowOwners.erase(made->second.ownAction);
        m_madeRowOwners.erase(made->second.ownActionSeparator);
        for (const int line : made->second.lines)
            m_madeRowOwners.erase(line);
        m_madeRows.erase(made);
    }
    m_entries.erase(it);
}

bool DBusMenuExporter::isInExportedTree(const MenuItem &item) {
    const auto rootMenu = root();
    for (const Menu *menu = item.menu(); menu; menu = menu->supermenu()) {
        if (menu == rootMenu.get())
            return true;
    }
    return false;
}

std::shared_ptr<MenuItem> DBusMenuExporter::itemFor(int id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return nullptr;
    auto item = it->second.item.lock();
    if (!item || isInExportedTree(*item))
        return item;
    // An item that left the menu (a row of an earlier opening) is no longer the host's to reach, unless the
    // host may still show it.
    if (!isHeld(it->second) && finishHolds())
        return itemFor(id);
    return isHeld(it->second) ? item : nullptr;
}

std::shared_ptr<Menu> DBusMenuExporter::menuFor(int id) {
    if (id == 0)
        return root();
    const auto item = itemFor(id);
    return item && !item->hostedView() ? item->submenu() : nullptr;
}

QByteArray DBusMenuExporter::pngData(const QImage &image) {
    const qint64 key = image.cacheKey();
    if (const auto it = m_pngCache.constFind(key); it != m_pngCache.constEnd())
        return *it;
    // Folder menus show the same few file-type icons over and over; a bound keeps old pictures from piling
    // up.
    if (m_pngCache.size() > 512)
        m_pngCache.clear();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    // A preview comes as large as our own popup shows it; a host shows it as a row's picture.
    if (image.width() > kLargestImageSide || image.height() > kLargestImageSide)
        image.scaled(kLargestImageSide, kLargestImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .save(&buffer, "PNG");
    else
        image.save(&buffer, "PNG");
    m_pngCache.insert(key, data);
    return data;
}

QVariantMap DBusMenuExporter::properties(const MenuItem &item, bool isShown, QStringList *furtherLines) {
    if (item.isSeparator())
        return separatorProperties();
    QVariantMap properties;
    if (!isShown)
        properties.insert(kVisible, false);
    const auto &hosted = item.hostedView();
    const auto form = hosted ? hosted->exportedForm() : std::nullopt;
    // A hosted row with nothing to show yet stays in the layout, invisible, and shows when it has.
    if (form && form->isEmpty())
        properties.insert(kVisible, false);
    QString label = item.displayedTitle();
    if (label.isEmpty())
        label = untitledLabel(item, form);
    QStringList lines = labelLines(label);
    if (!lines.isEmpty())
        properties.insert(kLabel, escapedLabel(lines.takeFirst()));
    if (furtherLines)
        *furtherLines = std::move(lines);
    if (hosted) {
        // Information, not a choice: the host has no widget to show in its place.
        properties.insert(kEnabled, false);
        properties.insert(kDisposition, QStringLiteral("informative"));
    } else if (!item.isEnabled()) {
        properties.insert(kEnabled, false);
    }
    if (form && !form->image.isNull())
        properties.insert(kIconData, pngData(form->image));
    else if (!item.image().isNull())
        properties.insert(kIconData, pngData(item.image()));
    if (item.state() != MenuItem::State::off) {
        properties.insert(kToggleType, QStringLiteral("checkmark"));
        properties.insert(kToggleState, item.state() == MenuItem::State::on ? 1 : -1);
    }
    if (item.hasSubmenu() && !hosted)
        properties.insert(kChildrenDisplay, QStringLiteral("submenu"));
    return properties;
}

std::vector<std::pair<std::shared_ptr<MenuItem>, bool>> DBusMenuExporter::exportedItems(const Menu &menu,
                                                                                        SourceBlock *block) {
    std::vector<std::pair<std::shared_ptr<MenuItem>, bool>> exported;
    // The rows shown are some of the items, in their order.
    const auto add = [&](const auto &items, const std::vector<std::shared_ptr<MenuItem>> &shown) {
        auto nextShown = shown.begin();
        for (const auto &item : items) {
            const bool isShown = nextShown != shown.end() && *nextShown == item;
            if (isShown)
                ++nextShown;
            // A hidden row stays in the layout, invisible, so that it keeps its place when it comes back;
            // dropped separators and placeholders are never rows of their own.
            if (!isShown && (!item->isHidden() || item->isSeparator() || isPlaceholder(*item)))
                continue;
            if (item->isLeftOutOfExport())
                continue;
            exported.emplace_back(item, isShown);
        }
    };
    if (!block || !menu.rowSource()) {
        add(menu.items(), menu.displayedItemsWithEveryAlternate());
        return exported;
    }
    // The source's rows are plain ones, all shown: they are left unmade, as null items.
    const Menu::DisplayedRows shown = menu.displayedRowsWithEveryAlternate();
    const auto &made = menu.madeItems();
    const auto at = made.begin() + std::ptrdiff_t(menu.sourceIndex());
    add(std::span(made.begin(), at), shown.before);
    *block = {menu.rowSource(), exported.size()};
    exported.resize(exported.size() + shown.sourceRows, {nullptr, true});
    add(std::span(at, made.end()), shown.after);
    return exported;
}

std::vector<DBusMenuItemProperties> DBusMenuExporter::ownActionRows(const Menu &menu) {
    return ownActionRows(menu.supermenuItem());
}

std::vector<DBusMenuItemProperties> DBusMenuExporter::ownActionRows(const MenuItem *owner,
                                                                    const QVariantMap *ownerLooks) {
    if (!owner || !owner->hasAction() || !owner->isEnabled() || owner->hostedView() || owner->isSeparator())
        return {};
    // The host reached this menu through the owner's row, which has an id by then.
    const auto known = m_ids.find(owner);
    if (known == m_ids.end())
        return {};
    const int ownerId = known->second;
    MadeRows &made = m_madeRows[ownerId];
    if (!made.ownAction) {
        made.ownAction = madeRow(ownerId);
        made.ownActionSeparator = madeRow(ownerId);
    }
    // The owner's row as it shows, when the caller has it at hand.
    QVariantMap chosen =
        ownerLooks && !ownerLooks->contains(kVisible) ? *ownerLooks : properties(*owner, /*isShown=*/true);
    chosen.remove(kChildrenDisplay);
    return {{made.ownAction, chosen}, {made.ownActionSeparator, separatorProperties()}};
}

std::vector<DBusMenuItemProperties> DBusMenuExporter::lineRows(int ownerId, const QVariantMap &owner,
                                                               const QStringList &lines) {
    if (lines.isEmpty())
        return {};
    std::vector<int> &ids = m_madeRows[ownerId].lines;
    while (ids.size() < static_cast<std::size_t>(lines.size()))
        ids.push_back(madeRow(ownerId));
    // Shown, enabled and told apart as the row they continue; the picture and the submenu stay with it.
    QVariantMap looks;
    for (const QString &name : {kVisible, kEnabled, kDisposition}) {
        if (const auto it = owner.find(name); it != owner.end())
            looks.insert(name, *it);
    }
    std::vector<DBusMenuItemProperties> rows;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        looks.insert(kLabel, escapedLabel(lines[index]));
        rows.push_back({ids[static_cast<std::size_t>(index)], looks});
    }
    return rows;
}

int DBusMenuExporter::madeRow(int ownerId) {
    const int id = m_nextId++;
    m_madeRowOwners[id] = ownerId;
    return id;
}

std::shared_ptr<MenuItem> DBusMenuExporter::madeRowOwner(int id) {
    const auto owner = m_madeRowOwners.find(id);
    return owner == m_madeRowOwners.end() ? nullptr : itemFor(owner->second);
}

void DBusMenuExporter::reserveFor(std::size_t rows) {
    // Only for long menus: a reservation a few entries at a time would rehash the maps over and over.
    if (rows < 256)
        return;
    makeRoom(m_entries, rows);
    makeRoom(m_ids, rows);
    // Each row whose submenu is not made gets the row atop it and its separator (see layOutRows).
    makeRoom(m_madeRows, rows);
    makeRoom(m_madeRowOwners, 2 * rows);
    makeRoom(m_readUnmade, rows);
}

bool DBusMenuExporter::isKnownId(int id) {
    return id == 0 || itemFor(id) || madeRowOwner(id);
}

std::vector<DBusMenuItemProperties> DBusMenuExporter::rows(const Menu &menu, Looks *looks) {
    std::vector<DBusMenuItemProperties> rows = ownActionRows(menu);
    Looks listed;
    if (!looks)
        looks = &listed;
    if (!looks->isListed) {
        looks->items = exportedItems(menu);
        looks->isListed = true;
    }
    rows.reserve(rows.size() + looks->items.size());
    reserveFor(looks->items.size());
    appendRows(rows, *looks, 0, looks->items.size());
    hideStraySeparators(rows);
    return rows;
}

void DBusMenuExporter::appendRows(std::vector<DBusMenuItemProperties> &rows, Looks &looks, std::size_t from,
                                  std::size_t to) {
    for (std::size_t index = from; index < to; ++index) {
        const auto &[item, isShown] = looks.items[index];
        const int id = idFor(item);
        watchHostedView(id, *item);
        RowLooks row;
        if (std::optional<RowLooks> *made = looks.madeAhead(index); made && *made) {
            row = std::move(**made);
            made->reset();
        } else
            row.properties = properties(*item, isShown, &row.furtherLines);
        rows.push_back({id, std::move(row.properties)});
        for (DBusMenuItemProperties &line : lineRows(id, rows.back().properties, row.furtherLines))
            rows.push_back(std::move(line));
    }
}

QVariantMap DBusMenuExporter::rowIn(const Menu *menu, int id) {
    if (!menu)
        return {};
    for (const DBusMenuItemProperties &row : rows(*menu)) {
        if (row.id == id)
            return row.properties;
    }
    return {};
}

void DBusMenuExporter::watchHostedView(int id, const MenuItem &item) {
    const auto &hosted = item.hostedView();
    if (!hosted) {
        m_hostedWatches.erase(id);
        return;
    }
    auto &watch = m_hostedWatches[id];
    if (watch.view.lock() == hosted)
        return;
    watch.view = hosted;
    // Details the view reads later (off the main thread) change rows the host may be showing.
    const QPointer<DBusMenuExporter> self(this);
    watch.subscription = hosted->observeExportedForm([self] {
        if (self)
            self->scheduleChangeCheck();
    });
}

void DBusMenuExporter::keepIdsOfRelistedRows(const std::shared_ptr<Menu> &menu) {
    const auto sent = std::find_if(m_sent.begin(), m_sent.end(),
                                   [&](const auto &entry) { return entry.second.menu.lock() == menu; });
    if (sent != m_sent.end())
        keepIdsOfRelistedRows(menu, sent->second);
}

void DBusMenuExporter::keepIdsOfRelistedRows(const std::shared_ptr<Menu> &menu, const SentMenu &sent,
                                             Looks *looks) {
    // The rows the host read that are no longer in this menu, in their order.
    std::vector<const DBusMenuItemProperties *> orphans;
    for (const DBusMenuItemProperties &row : *sent.rows) {
        if (isOrphan(row, *menu))
            orphans.push_back(&row);
    }
    if (orphans.empty())
        return;
    Looks listed;
    if (!looks)
        looks = &listed;
    looks->items = exportedItems(*menu);
    looks->isListed = true;
    looks->rowsFrom = 0;
    looks->rows.assign(looks->items.size(), std::nullopt);
    std::size_t next = 0;
    takeIdsOfOrphans(*looks, orphans, next, 0, looks->items.size());
}

bool DBusMenuExporter::isOrphan(const DBusMenuItemProperties &row, const Menu &menu) {
    if (m_madeRowOwners.contains(row.id))
        return false;
    const auto entry = m_entries.find(row.id);
    const auto item = entry == m_entries.end() ? nullptr : entry->second.item.lock();
    if (item && item->menu() == &menu)
        return false;
    // A row whose submenu the host read keeps its id while it lives: the host may still show that
    // submenu, and the new row's is not built yet.
    const auto read = m_sent.find(row.id);
    return !item || ((read == m_sent.end() || read->second.menu.expired()) && !m_readUnmade.contains(row.id));
}

void DBusMenuExporter::takeIdsOfOrphans(Looks &looks,
                                        const std::vector<const DBusMenuItemProperties *> &orphans,
                                        std::size_t &next, std::size_t from, std::size_t to) {
    // A new row that looks as an orphan did, in the same order, is that row listed again: it takes its id,
    // so a click the host sends for what it shows reaches it.
    std::vector<std::shared_ptr<MenuItem>> replaced;
    for (std::size_t index = from; index < to && next < orphans.size(); ++index) {
        const auto &[item, isShown] = looks.items[index];
        if (const auto known = m_ids.find(item.get());
            known != m_ids.end() && m_entries[known->second].item.lock() == item)
            continue;
        RowLooks row;
        row.properties = properties(*item, isShown, &row.furtherLines);
        // Looked for a little way ahead only: a new row among thousands, or rows listed in another order,
        // would otherwise compare every new row with every orphan.
        const auto first = orphans.begin() + static_cast<std::ptrdiff_t>(next);
        const auto last = first + std::min<std::ptrdiff_t>(kRelistedRowReach, orphans.end() - first);
        const auto match = std::find_if(first, last, [&](const DBusMenuItemProperties *orphan) {
            return sameProperties(orphan->properties, row.properties);
        });
        *looks.madeAhead(index) = std::move(row);
        if (match == last)
            continue;
        const int id = (*match)->id;
        Entry &entry = m_entries[id];
        if (const auto old = m_ids.find(entry.address); old != m_ids.end() && old->second == id)
            m_ids.erase(old);
        Entry taken{item, item.get()};
        // The host's hold goes with the id: the item it held is reached by nothing any more, and a long
        // folder's would otherwise stay alive beside the rows listed again.
        if (isHeld(entry) && entry.holds == 1) {
            if (const auto sent = m_sent.find(entry.heldBy);
                sent != m_sent.end() && entry.heldAt < sent->second.held.size() &&
                sent->second.held[entry.heldAt].get() == entry.address) {
                replaced.push_back(std::exchange(sent->second.held[entry.heldAt], item));
                taken.holds = 1;
                taken.heldBy = entry.heldBy;
                taken.holdRound = m_holdRound;
                taken.heldAt = entry.heldAt;
            }
        }
        entry = std::move(taken);
        m_ids[item.get()] = id;
        next = static_cast<std::size_t>(match - orphans.begin()) + 1;
    }
    letGo(std::move(replaced));
}

void DBusMenuExporter::hold(int id, SentMenu &sent, const SharedRows &rows, bool isRead,
                            ListedItems *listed) {
    // Any program may read the layout: a read adds to what the host may show (most often what it held
    // already), a change it is told of replaces it.
    if (!isRead)
        unhold(id, sent);
    if (rows->size() <= kRowsPerSlice || !listed) {
        holdRows(id, sent, *rows, 0, rows->size());
        return;
    }
    auto holding = std::make_shared<HoldInSlices>();
    holding->id = id;
    holding->rows = rows;
    holding->kept = std::exchange(*listed, {});
    sent.holding.push_back(holding);
    continueLater(holding, &DBusMenuExporter::continueHold);
}

void DBusMenuExporter::continueHold(const std::shared_ptr<HoldInSlices> &holding) {
    const auto sent = m_sent.find(holding->id);
    // Ended meanwhile (the host opened the menu afresh, or was told of other rows).
    if (sent == m_sent.end() || std::find(sent->second.holding.begin(), sent->second.holding.end(),
                                          holding) == sent->second.holding.end())
        return;
    const std::vector<DBusMenuItemProperties> &rows = *holding->rows;
    holding->next = *forATurn(holding->next, rows.size(), [&](std::size_t from, std::size_t to) {
        holdRows(holding->id, sent->second, rows, from, to);
        return true;
    });
    if (holding->next < rows.size()) {
        continueLater(holding, &DBusMenuExporter::continueHold);
        return;
    }
    std::erase(sent->second.holding, holding);
    letGo(std::move(holding->kept));
}

bool DBusMenuExporter::finishHolds() {
    bool any = false;
    for (auto &[id, sent] : m_sent) {
        for (const auto &holding : std::exchange(sent.holding, {})) {
            holdRows(id, sent, *holding->rows, holding->next, holding->rows->size());
            letGo(std::move(holding->kept));
            any = true;
        }
    }
    return any;
}

void DBusMenuExporter::endHolding(SentMenu &sent) {
    for (const auto &holding : std::exchange(sent.holding, {}))
        letGo(std::move(holding->kept));
}

void DBusMenuExporter::holdRows(int id, SentMenu &sent, const std::vector<DBusMenuItemProperties> &rows,
                                std::size_t from, std::size_t to) {
    // Counted on the items' entries, which every row looks up anyway, with nothing to allocate but the
    // lists.
    for (const DBusMenuItemProperties &row : std::span(rows).subspan(from, to - from)) {
        const auto found = m_entries.find(row.id);
        if (found == m_entries.end())
            continue;
        Entry &entry = found->second;
        if (entry.holdRound != m_holdRound) {
            entry.holds = 0;
            entry.heldBy = kHeldByNone;
            entry.holdRound = m_holdRound;
        }
        if (entry.heldBy == id && entry.holds > 0)
            continue;
        auto item = entry.item.lock();
        if (!item)
            continue;
        ++entry.holds;
        entry.heldBy = id;
        entry.heldAt = sent.held.size();
        sent.held.push_back(std::move(item));
        sent.heldIds.push_back(row.id);
    }
}

void DBusMenuExporter::unhold(int id, SentMenu &sent) {
    endHolding(sent);
    for (std::size_t index = 0; index < sent.held.size(); ++index) {
        const auto found = m_entries.find(sent.heldIds[index]);
        // An id another item took since (a row listed again) names what the host shows now, not this.
        if (found == m_entries.end() || found->second.address != sent.held[index].get() ||
            !isHeld(found->second))
            continue;
        Entry &entry = found->second;
        --entry.holds;
        if (entry.heldBy == id)
            entry.heldBy = kHeldByNone;
    }
    discardAside(std::exchange(sent.heldIds, {}));
    letGo(std::exchange(sent.held, {}));
}

namespace {

template <typename List> std::size_t countOf(const std::vector<List> &lists) {
    std::size_t count = 0;
    for (const List &list : lists)
        count += list.size();
    return count;
}

// Takes up to `count` of the last entries of `lists`, emptied lists and all.
template <typename List> void takeLast(std::vector<List> &lists, std::size_t count, List &taken) {
    while (count > 0 && !lists.empty()) {
        List &last = lists.back();
        const std::size_t now = std::min(count, last.size());
        taken.insert(taken.end(), std::make_move_iterator(last.end() - std::ptrdiff_t(now)),
                     std::make_move_iterator(last.end()));
        last.resize(last.size() - now);
        count -= now;
        if (last.empty())
            lists.pop_back();
    }
}

} // namespace

void DBusMenuExporter::letGo(std::vector<std::shared_ptr<MenuItem>> items) {
    if (items.size() > kRowsPerSlice || isLettingGo())
        letGoLater(m_lettingGo, std::move(items));
}

void DBusMenuExporter::letGo(ListedItems listed) {
    // A job's items may be the last left of a menu listed afresh meanwhile. Kept as they are: made into
    // another list, a long menu's would be moved whole on one turn.
    if (listed.size() > kRowsPerSlice || isLettingGo())
        letGoLater(m_lettingGoListed, std::move(listed));
}

bool DBusMenuExporter::isLettingGo() const {
    return !m_lettingGo.empty() || !m_lettingGoListed.empty();
}

template <typename List> void DBusMenuExporter::letGoLater(std::vector<List> &lists, List list) {
    // An empty list would be waited on for ever.
    if (list.empty())
        return;
    lists.push_back(std::move(list));
    if (!std::exchange(m_isLettingGoLater, true))
        queueWork([this] { letGoOfSlice(); });
}

void DBusMenuExporter::letGoOfSlice() {
    m_isLettingGoLater = false;
    forATurn(0, countOf(m_lettingGo) + countOf(m_lettingGoListed), [this](std::size_t from, std::size_t to) {
        // Moved out first: an item that goes may release others, whose closures may look at the exporter.
        std::vector<std::shared_ptr<MenuItem>> run;
        ListedItems listedRun;
        takeLast(m_lettingGo, to - from, run);
        takeLast(m_lettingGoListed, to - from - run.size(), listedRun);
        return true;
    });
    if (isLettingGo()) {
        if (!std::exchange(m_isLettingGoLater, true))
            queueWork([this] { letGoOfSlice(); });
        return;
    }
    // The ids of what went are forgotten too: an id keeps the memory of its item, and a long menu's
    // would stay until the next reading or check. What a long menu left free goes back to the system.
    forgetDeadItems();
    giveBackFreedMemorySoon();
}

void DBusMenuExporter::discardAside(SharedRows rows) {
    if (!rows || rows.use_count() > 1 || rows->size() <= kRowsPerSlice)
        return;
    QThreadPool::globalInstance()->start([rows = std::move(rows)]() mutable { rows.reset(); });
}

template <typename Container> void DBusMenuExporter::discardAside(Container container) {
    if (container.size() <= kRowsPerSlice)
        return;
    // Rows' texts and pictures are shared only to be read, and the maps of items hold plain addresses:
    // either is safe to free from another thread.
    QThreadPool::globalInstance()->start([container = std::move(container)]() mutable { container = {}; });
}

void DBusMenuExporter::releaseHolds() {
    ++m_holdRound;
    // Moved out first, each list whole: an item that goes may release others, whose closures may look at
    // the exporter.
    std::vector<std::vector<std::shared_ptr<MenuItem>>> released;
    std::vector<std::shared_ptr<HoldInSlices>> ended;
    for (auto &[id, sent] : m_sent) {
        if (!sent.held.empty())
            released.push_back(std::exchange(sent.held, {}));
        discardAside(std::exchange(sent.heldIds, {}));
        std::move(sent.holding.begin(), sent.holding.end(), std::back_inserter(ended));
        sent.holding.clear();
    }
    for (auto &items : released)
        letGo(std::move(items));
    for (const auto &holding : ended)
        letGo(std::move(holding->kept));
}

std::unordered_map<int, DBusMenuExporter::SentMenu>::iterator
DBusMenuExporter::forgetSent(std::unordered_map<int, SentMenu>::iterator sent) {
    unhold(sent->first, sent->second);
    return m_sent.erase(sent);
}

void DBusMenuExporter::remember(int id, const std::shared_ptr<Menu> &menu,
                                std::vector<DBusMenuItemProperties> rows, bool isRead, ListedItems *listed) {
    SentMenu &sent = m_sent[id];
    auto shared = std::make_shared<const std::vector<DBusMenuItemProperties>>(std::move(rows));
    hold(id, sent, shared, /*isRead=*/true, listed);
    // Any program may read the layout: read before a change is told, the rows from before are what the
    // others still have.
    if (isRead && !sent.toldRows && sent.menu.lock() == menu && isChangeUntold(id)) {
        sent.toldRows = std::exchange(sent.rows, std::move(shared));
        sent.toldRevision = std::exchange(sent.revision, ++m_rowsRevisions);
    } else {
        replaceRows(sent, std::move(shared));
    }
    if (sent.menu.lock() == menu && sent.needsUpdate.isActive())
        return;
    sent.menu = menu;
    const QPointer<DBusMenuExporter> self(this);
    sent.needsUpdate = menu->observeNeedsUpdate([self] {
        if (self && !self->m_notifyingModel)
            self->scheduleChangeCheck();
    });
    sent.filled = menu->observeAwaitingContents([self](bool isAwaiting) {
        if (self && !isAwaiting)
            self->scheduleChangeCheck();
    });
}

bool DBusMenuExporter::isChangeUntold(int id) const {
    return m_changeCheckPending || m_changeCheckHeld ||
           std::any_of(m_checksInSlices.begin(), m_checksInSlices.end(),
                       [id](const auto &check) { return check->id == id; });
}

void DBusMenuExporter::warnOfRowsLeftOut(int id, const LayoutSize &size) {
    if (size.rowsLeftOut > 0) {
        qCWarning(lcDBusMenu, "A layout of menu %d leaves out %lld rows: a message cannot hold them.", id,
                  static_cast<long long>(size.rowsLeftOut));
    }
}

DBusMenuLayoutItem DBusMenuExporter::layoutAnswer(int id, int depth, const QStringList &names,
                                                  qsizetype *bytes) {
    if (!isKnownId(id))
        return {id, {}, {}};
    const auto menu = menuFor(id);
    LayoutSize size;
    DBusMenuLayoutItem answer = layout(id, menu.get(), propertiesFor(id), depth, names, size);
    warnOfRowsLeftOut(id, size);
    if (bytes)
        *bytes = size.bytes;
    return answer;
}

void DBusMenuExporter::sendLayout(const QDBusMessage &call, QDBusConnection connection,
                                  DBusMenuLayoutItem layout, qsizetype bytes) {
    if (bytes < kLayoutWrittenAsideBytes) {
        connection.send(call.createReply({m_revision, QVariant::fromValue(layout)}));
        return;
    }
    // The layout is the answer's own: its strings and pictures are shared with the exporter's only to be
    // read, which is safe from another thread.
    ++m_layoutsBeingWritten;
    QThreadPool::globalInstance()->start([call, connection = std::move(connection), revision = m_revision,
                                          layout = std::move(layout), self = QPointer(this)]() mutable {
        connection.send(call.createReply({revision, QVariant::fromValue(std::move(layout))}));
        // Gone at quit, when the application waits for this thread before it ends.
        if (QCoreApplication *application = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                application,
                [self] {
                    if (self)
                        self->layoutWritten();
                },
                Qt::QueuedConnection);
        }
    });
}

bool DBusMenuExporter::isCheckedInSlices(int id, const Menu &menu) const {
    // A folder listed afresh may have few rows yet, or many more.
    const auto sent = m_sent.find(id);
    return laysOutInSlices(&menu, -1) || (sent != m_sent.end() && sent->second.rows->size() > kRowsPerSlice);
}

bool DBusMenuExporter::laysOutInSlices(const Menu *menu, int depth) {
    return menu && depth != 0 && menu->numberOfItems() > kRowsPerSlice;
}

void DBusMenuExporter::answerLayout(const QDBusMessage &call, QDBusConnection connection, int id, int depth,
                                    const QStringList &names) {
    const auto menu = isKnownId(id) ? menuFor(id) : nullptr;
    if (!laysOutInSlices(menu.get(), depth)) {
        qsizetype bytes = 0;
        DBusMenuLayoutItem layout = layoutAnswer(id, depth, names, &bytes);
        sendLayout(call, std::move(connection), std::move(layout), bytes);
        return;
    }
    auto layout = std::make_shared<LayoutInSlices>();
    layout->call = call;
    layout->connection = std::move(connection);
    layout->id = id;
    layout->depth = depth;
    layout->names = names;
    layout->menu = menu;
    layout->node = {id, filtered(propertiesFor(id), names), {}};
    countIn(layout->node.properties, layout->size.bytes);
    listForSlices(*menu, layout->looks, layout->source, layout->rows);
    const QPointer<DBusMenuExporter> self(this);
    layout->needsUpdate = menu->observeNeedsUpdate([self, weak = std::weak_ptr(layout)] {
        if (const auto layout = weak.lock(); layout && self && !self->m_notifyingModel)
            layout->changed = true;
    });
    // Counted as a layout being written from now: changes wait for it, and the host's time with its menus
    // starts once it has it.
    ++m_layoutsBeingWritten;
    m_layoutsInSlices.push_back(layout);
    continueLater(layout, &DBusMenuExporter::continueLayout);
}

bool DBusMenuExporter::makeSourceRows(const Menu &menu, Looks &looks, const SourceBlock &block,
                                      std::size_t from, std::size_t to) {
    const std::size_t count = block.source ? block.source->count() : 0;
    const std::size_t first = std::max(from, block.at);
    const std::size_t last = std::min(to, block.at + count);
    if (first >= last)
        return true;
    if (menu.rowSource() != block.source)
        return false;
    for (std::size_t index = first; index < last; ++index)
        looks.items[index].first = menu.sourceItem(index - block.at);
    return true;
}

void DBusMenuExporter::listForSlices(const Menu &menu, Looks &looks, SourceBlock &source,
                                     std::vector<DBusMenuItemProperties> &rows) {
    rows = ownActionRows(menu);
    looks.items = exportedItems(menu, &source);
    looks.isListed = true;
    rows.reserve(rows.size() + looks.items.size());
    reserveFor(looks.items.size());
}

template <typename Run>
std::optional<std::size_t> DBusMenuExporter::forATurn(std::size_t from, std::size_t end, Run run) {
    QElapsedTimer alone;
    const QElapsedTimer &turn = m_turn.isValid() ? m_turn : (alone.start(), alone);
    std::size_t at = from;
    while (at < end) {
        const std::size_t to = std::min(end, at + kRowsPerRun);
        if (!run(at, to))
            return std::nullopt;
        at = to;
        if (at - from >= kRowsPerSlice || turn.elapsed() >= kLongestTurn.count())
            break;
    }
    return at;
}

void DBusMenuExporter::queueWork(std::function<void()> work) {
    m_queuedWork.push_back(std::move(work));
    if (!std::exchange(m_isWorkQueued, true))
        QTimer::singleShot(0, this, &DBusMenuExporter::runQueuedWork);
}

void DBusMenuExporter::runQueuedWork() {
    m_isWorkQueued = false;
    m_turn.start();
    // What the work queues meanwhile waits for the next turn, behind what this one leaves.
    auto work = std::exchange(m_queuedWork, {});
    std::size_t done = 0;
    while (done < work.size() && (done == 0 || m_turn.elapsed() < kLongestTurn.count()))
        work[done++]();
    m_turn.invalidate();
    m_queuedWork.insert(m_queuedWork.begin(), std::make_move_iterator(work.begin() + std::ptrdiff_t(done)),
                        std::make_move_iterator(work.end()));
    if (!m_queuedWork.empty() && !std::exchange(m_isWorkQueued, true))
        QTimer::singleShot(0, this, &DBusMenuExporter::runQueuedWork);
}

template <typename Job>
void DBusMenuExporter::continueLater(const std::shared_ptr<Job> &job,
                                     void (DBusMenuExporter::*next)(const std::shared_ptr<Job> &)) {
    // A job the exporter dropped meanwhile (answered otherwise, or at quit) goes no further.
    queueWork([this, next, weak = std::weak_ptr(job)] {
        if (const auto job = weak.lock())
            (this->*next)(job);
    });
}

void DBusMenuExporter::continueLayout(const std::shared_ptr<LayoutInSlices> &layout) {
    const auto finish = [&](DBusMenuLayoutItem answer, qsizetype bytes) {
        std::erase(m_layoutsInSlices, layout);
        letGo(std::move(layout->looks.items));
        // Rows made before the menu was listed afresh, laid out as it is instead.
        discardAside(std::move(layout->rows));
        sendLayout(layout->call, layout->connection, std::move(answer), bytes);
        if (layout->changed)
            m_changeCheckHeld = true;
        layoutWritten();
    };
    const auto layOutAsItIs = [&] {
        qsizetype bytes = 0;
        DBusMenuLayoutItem answer = layoutAnswer(layout->id, layout->depth, layout->names, &bytes);
        finish(std::move(answer), bytes);
    };
    const auto menu = layout->menu.lock();
    if (!menu || menuFor(layout->id) != menu) {
        // Gone from the tree meanwhile, or another menu under that id now.
        layOutAsItIs();
        return;
    }
    const std::size_t items = layout->looks.items.size();
    if (layout->nextItem < items) {
        const auto made = forATurn(layout->nextItem, items, [&](std::size_t from, std::size_t to) {
            if (!makeSourceRows(*menu, layout->looks, layout->source, from, to))
                return false;
            appendRows(layout->rows, layout->looks, from, to);
            layout->separators.look(layout->rows);
            return true;
        });
        if (!made) {
            // Listed afresh meanwhile (a folder that changed on disk), or its rows all made.
            layOutAsItIs();
            return;
        }
        layout->nextItem = *made;
        if (*made == items) {
            layout->separators.end(layout->rows);
            layout->node.children.reserve(qsizetype(layout->rows.size()));
        }
    } else {
        const std::span<const DBusMenuItemProperties> rows(layout->rows);
        layout->nextRow = *forATurn(layout->nextRow, rows.size(), [&](std::size_t from, std::size_t to) {
            layOutRows(layout->node, rows.subspan(from, to - from), layout->depth, layout->names,
                       layout->size);
            return true;
        });
        if (layout->nextRow == rows.size()) {
            warnOfRowsLeftOut(layout->id, layout->size);
            remember(layout->id, menu, std::move(layout->rows), /*isRead=*/true, &layout->looks.items);
            finish(std::move(layout->node), layout->size.bytes);
            return;
        }
    }
    continueLater(layout, &DBusMenuExporter::continueLayout);
}

void DBusMenuExporter::layoutWritten() {
    --m_layoutsBeingWritten;
    answerSent();
    if (m_layoutsBeingWritten == 0 && std::exchange(m_changeCheckHeld, false))
        scheduleChangeCheck();
}

void DBusMenuExporter::renewHostLease() {
    if (!m_openMenus.empty())
        m_hostLease.start();
}

void DBusMenuExporter::answerSent() {
    if (m_pendingAnswers.empty() && m_layoutsBeingWritten == 0)
        renewHostLease();
}

DBusMenuLayoutItem DBusMenuExporter::layout(int id, const Menu *menu, QVariantMap properties, int depth,
                                            const QStringList &names, LayoutSize &size) {
    DBusMenuLayoutItem node{id, filtered(properties, names), {}};
    countIn(node.properties, size.bytes);
    if (!menu || depth == 0)
        return node;
    std::vector<DBusMenuItemProperties> menuRows = rows(*menu);
    layOutRows(node, menuRows, depth, names, size);
    if (const auto shared = menuFor(id); shared.get() == menu)
        remember(id, shared, std::move(menuRows));
    return node;
}

void DBusMenuExporter::layOutRows(DBusMenuLayoutItem &node, std::span<const DBusMenuItemProperties> rows,
                                  int depth, const QStringList &names, LayoutSize &size) {
    const int rowDepth = depth < 0 ? -1 : depth - 1;
    // Not reserved again for every slice of a long menu, each time moving every row laid out before.
    if (const qsizetype needed = node.children.size() + qsizetype(rows.size());
        node.children.capacity() < needed)
        node.children.reserve(needed);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const DBusMenuItemProperties &row = rows[index];
        if (size.bytes > kMostLayoutBytes) {
            size.rowsLeftOut += qsizetype(rows.size() - index);
            break;
        }
        const auto entry = m_entries.find(row.id);
        const auto item = entry == m_entries.end() ? nullptr : entry->second.item.lock();
        if (item && !item->hostedView() && item->isSubmenuDeferred()) {
            // A submenu nothing has asked for holds only the row atop it that runs the row's own action: it
            // is laid out from the row, with no menu made or watched for it, as a folder of tens of
            // thousands of files would make as many. Opened by the host, it is made and read as any other.
            DBusMenuLayoutItem child{row.id, filtered(row.properties, names), {}};
            countIn(child.properties, size.bytes);
            if (rowDepth != 0) {
                m_readUnmade.insert(row.id);
                std::vector<DBusMenuItemProperties> atop = ownActionRows(item.get(), &row.properties);
                // With nothing under it yet, the separator below that row would be out of sight: it is
                // left out, which spares the message and the host a third of a long folder's rows. It
                // keeps its id for when the submenu is made.
                if (!atop.empty())
                    atop.pop_back();
                layOutRows(child, atop, rowDepth, names, size);
            }
            node.children.append(std::move(child));
            continue;
        }
        const auto submenu = item && !item->hostedView() ? item->submenu() : nullptr;
        node.children.append(layout(row.id, submenu.get(), row.properties, rowDepth, names, size));
    }
}

QVariantMap DBusMenuExporter::propertiesFor(int id) {
    if (id == 0)
        return {{kChildrenDisplay, QStringLiteral("submenu")}};
    if (const auto owner = madeRowOwner(id)) {
        const MadeRows &made = m_madeRows[m_madeRowOwners[id]];
        // The row that runs the owner's action heads its submenu; further lines follow the owner.
        const bool headsSubmenu = id == made.ownAction || id == made.ownActionSeparator;
        return rowIn(headsSubmenu ? owner->submenu().get() : owner->menu(), id);
    }
    const auto item = itemFor(id);
    // Whether a separator shows depends on its neighbours.
    if (item && item->isSeparator())
        return rowIn(item->menu(), id);
    return item ? properties(*item, !item->isHidden()) : QVariantMap();
}

void DBusMenuExporter::fail(const QString &message) {
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                 DBusMenuLayoutItem &layoutItem) {
    const auto rootBefore = m_root.lock();
    const bool wasAwaiting = rootBefore && rootBefore->isAwaitingContents();
    keepRootFilled();
    if (recursionDepth < -1) {
        fail(QStringLiteral("The recursion depth must be -1 (all) or more, not %1.").arg(recursionDepth));
        return m_revision;
    }
    forgetDeadItems();
    const auto menu = menuFor(parentId);
    if (!isKnownId(parentId)) {
        fail(QStringLiteral("The menu has no item %1.").arg(parentId));
        return m_revision;
    }
    // A host may read a menu it never opened, made for this reading with rows still to come (a folder being
    // listed): it is answered once they are there, or with what there is after the longest wait and told
    // of the rest. A menu that was waiting already is being shown, and that answer tells the host; reading
    // builds no submenu.
    const bool isMadeForReading = parentId == 0 && menu && (menu != rootBefore || !wasAwaiting);
    if (isMadeForReading && calledFromDBus() && answersWhenFilled({{parentId, menu}}, {}))
        return m_revision;
    if (calledFromDBus() && laysOutInSlices(menu.get(), recursionDepth)) {
        setDelayedReply(true);
        answerLayout(message(), connection(), parentId, recursionDepth, propertyNames);
        return m_revision;
    }
    qsizetype bytes = 0;
    DBusMenuLayoutItem answer = layoutAnswer(parentId, recursionDepth, propertyNames, &bytes);
    if (calledFromDBus() && bytes >= kLayoutWrittenAsideBytes) {
        setDelayedReply(true);
        sendLayout(message(), connection(), std::move(answer), bytes);
        return m_revision;
    }
    layoutItem = std::move(answer);
    return m_revision;
}

DBusMenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int> &ids,
                                                                const QStringList &propertyNames) {
    keepRootFilled();
    if (ids.size() > kMaxGroupSize) {
        fail(QStringLiteral("At most %1 items can be asked for at once.").arg(kMaxGroupSize));
        return {};
    }
    DBusMenuItemPropertiesList answer;
    qsizetype bytes = 0;
    for (const int id : ids) {
        if (!isKnownId(id))
            continue;
        QVariantMap properties = filtered(propertiesFor(id), propertyNames);
        countIn(properties, bytes);
        if (bytes > kMostLayoutBytes)
            break;
        answer.append({id, std::move(properties)});
    }
    return answer;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString &name) {
    keepRootFilled();
    if (!isKnownId(id)) {
        fail(QStringLiteral("The menu has no item %1.").arg(id));
        return {};
    }
    QVariant value = propertiesFor(id).value(name);
    if (!value.isValid())
        value = defaultProperties().value(name);
    if (!value.isValid()) {
        fail(QStringLiteral("Menu items have no property \"%1\".").arg(name));
        return {};
    }
    return QDBusVariant(value);
}

void DBusMenuExporter::Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp) {
    Q_UNUSED(data);
    Q_UNUSED(timestamp);
    const bool canAnswerLater = calledFromDBus() && eventId == QLatin1String("opened");
    hostRequestArrived();
    const bool handled = handleEvent(id, eventId);
    if (!handled) {
        fail(QStringLiteral("The menu has no item %1.").arg(id));
        return;
    }
    if (canAnswerLater) {
        if (const auto menu = menuFor(id))
            answersWhenFilled({{id, menu}}, {});
    }
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList &events) {
    if (events.size() > kMaxGroupSize) {
        fail(QStringLiteral("At most %1 events can be sent at once.").arg(kMaxGroupSize));
        return {};
    }
    const bool canAnswerLater = calledFromDBus();
    hostRequestArrived();
    QList<int> idErrors;
    std::vector<std::pair<int, std::shared_ptr<Menu>>> opened;
    for (const DBusMenuEvent &event : events) {
        if (!handleEvent(event.id, event.eventId))
            idErrors.append(event.id);
        else if (event.eventId == QLatin1String("opened"))
            if (auto menu = menuFor(event.id))
                opened.emplace_back(event.id, std::move(menu));
    }
    if (!events.isEmpty() && idErrors.size() == events.size())
        fail(QStringLiteral("The menu has none of the items of the events."));
    else if (canAnswerLater)
        answersWhenFilled(opened, idErrors);
    return idErrors;
}

bool DBusMenuExporter::handleEvent(int id, const QString &eventId) {
    if (madeRowOwner(id)) {
        // A made row is chosen as the row it stands for; the separator of the row that runs a submenu's
        // owner takes nothing.
        const int ownerId = m_madeRowOwners[id];
        if (eventId == QLatin1String("clicked") && m_madeRows[ownerId].ownActionSeparator != id)
            return handleEvent(ownerId, eventId);
        return true;
    }
    const auto item = id == 0 ? nullptr : itemFor(id);
    if (id != 0 && !item)
        return false;
    if (eventId == QLatin1String("opened")) {
        // The root is not made afresh here: the host shows the layout it already has, and its clicks
        // name the rows of that layout.
        if (const auto menu = menuFor(id)) {
            const bool wasOpen = menu->isOpen();
            open(menu);
            // A long menu listed afresh keeps the ids the host shows in a change check (see open).
            if (!wasOpen && laysOutInSlices(menu.get(), -1))
                scheduleChangeCheck();
        }
        return true;
    }
    if (eventId == QLatin1String("closed")) {
        if (const auto menu = menuFor(id))
            close(*menu);
        return true;
    }
    if (eventId != QLatin1String("clicked") || !item || item->isSeparator() || item->hostedView() ||
        !item->isEnabled() || !item->hasAction())
        return true;
    // The host waits for this call: the action (which may show a window or an alert) runs on a later
    // turn, after the model heard that its menus closed, as it does for the presenter's menus.
    QTimer::singleShot(0, this, [this, item] {
        closeAll();
        const QPointer<DBusMenuExporter> self(this);
        item->performAction();
        if (self)
            self->scheduleChangeCheck();
    });
    return true;
}

void DBusMenuExporter::open(const std::shared_ptr<Menu> &menu) {
    if (menu->isOpen())
        return;
    // The host opens the menu afresh: what it showed before is no longer its to choose.
    if (menu == m_root.lock())
        releaseHolds();
    m_notifyingModel = true;
    menu->menuNeedsUpdate();
    menu->menuWillOpen();
    m_notifyingModel = false;
    // A long menu's rows listed again, or the rows of a menu that was long when the host read it, keep
    // their ids a slice at a time, in what follows the opening: the answer to the host (see
    // answersWhenFilled), or a change check.
    if (const auto sent = std::find_if(m_sent.begin(), m_sent.end(),
                                       [&](const auto &entry) { return entry.second.menu.lock() == menu; });
        sent != m_sent.end() && !isCheckedInSlices(sent->first, *menu))
        keepIdsOfRelistedRows(menu, sent->second);
    std::erase_if(m_openMenus, [](const OpenMenu &open) { return open.menu.expired(); });
    const QPointer<DBusMenuExporter> self(this);
    m_openMenus.push_back({menu, menu->observeOpenState([self, closed = menu.get()](bool isOpen) {
                               // Closed by someone else (our own popup took the menu over).
                               if (self && !isOpen)
                                   self->close(*closed);
                           })});
    m_hostLease.start();
}

void DBusMenuExporter::close(const Menu &menu) {
    // The menu and every open menu below it, deepest first.
    std::vector<std::shared_ptr<Menu>> closing;
    std::erase_if(m_openMenus, [&](const OpenMenu &entry) {
        const auto open = entry.menu.lock();
        if (!open)
            return true;
        for (const Menu *ancestor = open.get(); ancestor; ancestor = ancestor->supermenu()) {
            if (ancestor == &menu) {
                closing.push_back(open);
                return true;
            }
        }
        return false;
    });
    for (auto it = closing.rbegin(); it != closing.rend(); ++it)
        (*it)->menuDidClose();
}

void DBusMenuExporter::closeAll() {
    auto open = std::exchange(m_openMenus, {});
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        it->closing.cancel();
        if (const auto menu = it->menu.lock())
            menu->menuDidClose();
    }
}

bool DBusMenuExporter::AboutToShow(int id) {
    // Answered later where the host waits for a reply of its own.
    const bool canAnswerLater = calledFromDBus();
    hostRequestArrived();
    const auto menu = openForHost(id);
    if (!menu || (canAnswerLater && answersWhenFilled({{id, menu}}, {}, /*isShowing=*/true)))
        return false;
    if (isCheckedInSlices(id, *menu))
        keepIdsOfRelistedRows(menu);
    return announceShown(id, menu);
}

bool DBusMenuExporter::answersWhenFilled(const std::vector<std::pair<int, std::shared_ptr<Menu>>> &menus,
                                         const QList<int> &idErrors, bool isShowing) {
    auto pending = std::make_shared<PendingAnswer>(message(), connection(), m_revision);
    for (const auto &[id, menu] : menus)
        pending->menus.emplace_back(id, menu);
    // A long menu the host is about to show is looked at over turns (see answerPending).
    const bool isLong = isShowing && std::any_of(menus.begin(), menus.end(), [this](const auto &entry) {
                            return isCheckedInSlices(entry.first, *entry.second);
                        });
    if (!pending->isWaiting() && !isLong)
        return false;
    setDelayedReply(true);
    pending->idErrors = idErrors;
    if (!pending->isWaiting()) {
        m_pendingAnswers.push_back(pending);
        answerPending(pending);
        return true;
    }
    const std::weak_ptr<PendingAnswer> weak = pending;
    const QPointer<DBusMenuExporter> self(this);
    for (const auto &[id, menu] : menus) {
        pending->filled.push_back(menu->observeAwaitingContents([self, weak](bool isAwaiting) {
            if (isAwaiting || !self)
                return;
            // On a later turn: the rows come while the model builds the menu, which is complete only then.
            QTimer::singleShot(0, self, [self, weak] {
                const auto pending = weak.lock();
                if (self && pending && !pending->isWaiting())
                    self->answerPending(pending);
            });
        }));
    }
    pending->bound.setSingleShot(true);
    connect(&pending->bound, &QTimer::timeout, this, [this, weak] {
        if (const auto pending = weak.lock())
            answerPending(pending);
    });
    pending->bound.start(kLongestAnswerDelay);
    m_pendingAnswers.push_back(std::move(pending));
    return true;
}

void DBusMenuExporter::answerPending(const std::shared_ptr<PendingAnswer> &pending) {
    if (pending->isAnswering ||
        std::find(m_pendingAnswers.begin(), m_pendingAnswers.end(), pending) == m_pendingAnswers.end())
        return;
    pending->isAnswering = true;
    pending->filled.clear();
    pending->bound.stop();
    const QString &member = pending->call.member();
    if (member == QLatin1String("GetLayout")) {
        std::erase(m_pendingAnswers, pending);
        // Laid out as it is now; rows still to come are announced once they are there (see remember).
        const QVariantList in = pending->call.arguments();
        answerLayout(pending->call, pending->connection, in.value(0).toInt(), in.value(1).toInt(),
                     in.value(2).toStringList());
        answerSent();
        return;
    }
    const bool isShowing = member.startsWith(QLatin1String("AboutToShow"));
    for (const auto &[id, opened] : pending->menus) {
        const auto menu = menuFor(id);
        if (!menu)
            continue;
        bool needsUpdate = m_revision != pending->revision;
        if (menu->isAwaitingContents()) {
            // Out of time: the host shows what there is and hears of the rows as they come.
            remember(id, menu, rows(*menu));
            needsUpdate = true;
        } else if (isShowing && isCheckedInSlices(id, *menu)) {
            // A long menu is looked at over turns, as its layout is made, its rows listed again keeping
            // the ids the host has (see open); the host has its answer then.
            ++pending->checks;
            startCheck(id, menu, /*keepsIds=*/true,
                       [this, pending, id = id, menu](std::vector<DBusMenuItemProperties> *now,
                                                      Comparison *comparison, ListedItems *listed) {
                           // Replaced meanwhile, or told of a change since it asked: the host reads it again.
                           if (!now || announceShown(id, menu, std::move(*now), comparison, listed) ||
                               m_revision != pending->revision)
                               pending->updatesNeeded.append(id);
                           if (--pending->checks == 0)
                               replyToPending(pending);
                       });
            continue;
        } else if (isShowing) {
            needsUpdate = announceShown(id, menu) || needsUpdate;
        } else {
            scheduleChangeCheck();
        }
        if (needsUpdate)
            pending->updatesNeeded.append(id);
    }
    if (pending->checks == 0)
        replyToPending(pending);
}

void DBusMenuExporter::replyToPending(const std::shared_ptr<PendingAnswer> &pending) {
    std::erase(m_pendingAnswers, pending);
    pending->connection.send(pending->call.createReply(replyArguments(*pending, pending->updatesNeeded)));
    answerSent();
}

QVariantList DBusMenuExporter::replyArguments(const PendingAnswer &pending, const QList<int> &updatesNeeded) {
    const QString &member = pending.call.member();
    if (member == QLatin1String("AboutToShow"))
        return {!updatesNeeded.isEmpty()};
    if (member == QLatin1String("AboutToShowGroup"))
        return {QVariant::fromValue(updatesNeeded), QVariant::fromValue(pending.idErrors)};
    if (member == QLatin1String("EventGroup"))
        return {QVariant::fromValue(pending.idErrors)};
    return {};
}

std::shared_ptr<Menu> DBusMenuExporter::openForHost(int id) {
    if (!isKnownId(id)) {
        fail(QStringLiteral("The menu has no item %1.").arg(id));
        return nullptr;
    }
    // The menu is made afresh for every opening.
    if (id == 0)
        rebuildRoot();
    const auto menu = menuFor(id);
    if (menu)
        open(menu);
    return menu;
}

bool DBusMenuExporter::announceShown(int id, const std::shared_ptr<Menu> &menu) {
    return announceShown(id, menu, rows(*menu));
}

bool DBusMenuExporter::announceShown(int id, const std::shared_ptr<Menu> &menu,
                                     std::vector<DBusMenuItemProperties> now, const Comparison *given,
                                     ListedItems *listed) {
    const auto sent = m_sent.find(id);
    const bool leftBehind = sent != m_sent.end() && leavesReadersBehind(sent->second, now, given);
    given = sent == m_sent.end() ? nullptr : comparedWith(given, sent->second.revision);
    const bool changed = sent == m_sent.end()               ? !now.empty()
                         : sent->second.menu.lock() != menu ? true
                         : leftBehind                       ? true
                         : given                            ? given->idsDiffer || given->looksDiffer
                                                            : !sameRows(*sent->second.rows, now);
    // A host that caches would show an empty root until it asks again.
    if (!changed || (id == 0 && now.empty())) {
        discardAside(std::move(now));
        return false;
    }
    // Told by the answer; the signal is for hosts that only listen to it.
    remember(id, menu, std::move(now), /*isRead=*/false, listed);
    ++m_revision;
    Q_EMIT LayoutUpdated(m_revision, id);
    return true;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors) {
    if (ids.size() > kMaxGroupSize) {
        fail(QStringLiteral("At most %1 items can be asked for at once.").arg(kMaxGroupSize));
        return {};
    }
    const bool canAnswerLater = calledFromDBus();
    hostRequestArrived();
    std::vector<std::pair<int, std::shared_ptr<Menu>>> opened;
    for (const int id : ids) {
        if (!isKnownId(id)) {
            idErrors.append(id);
            continue;
        }
        if (auto menu = openForHost(id))
            opened.emplace_back(id, std::move(menu));
    }
    if (canAnswerLater && answersWhenFilled(opened, idErrors, /*isShowing=*/true))
        return {};
    QList<int> updatesNeeded;
    for (const auto &[id, menu] : opened) {
        if (isCheckedInSlices(id, *menu))
            keepIdsOfRelistedRows(menu);
        if (announceShown(id, menu))
            updatesNeeded.append(id);
    }
    return updatesNeeded;
}

void DBusMenuExporter::requestActivation() {
    Q_EMIT ItemActivationRequested(0, 0);
}

void DBusMenuExporter::scheduleChangeCheck() {
    if (m_changeCheckPending)
        return;
    m_changeCheckPending = true;
    // On a later turn: the model announces a change before it makes it, and several changes come together.
    QTimer::singleShot(0, this, [this] {
        m_changeCheckPending = false;
        announceChanges();
    });
}

void DBusMenuExporter::announceChanges() {
    if (m_layoutsBeingWritten > 0) {
        m_changeCheckHeld = true;
        return;
    }
    forgetDeadItems();
    keepRootFilled(/*isChangeCheck=*/true);
    Changes changes;
    for (auto it = m_sent.begin(); it != m_sent.end();) {
        const auto menu = menuFor(it->first);
        if (!menu || menu != it->second.menu.lock()) {
            // Gone from the tree, or the row has another submenu now: the host's copy is stale (a new root
            // is announced once it has rows).
            if (it->first == 0 ? !menu || !rows(*menu).empty() : bool(menu))
                changes.changedMenus.push_back(it->first);
            it = forgetSent(it);
            continue;
        }
        // Rows still to come: the host hears of the menu once it is complete.
        if (menu->isAwaitingContents()) {
            ++it;
            continue;
        }
        if (const auto checking = std::find_if(m_checksInSlices.begin(), m_checksInSlices.end(),
                                               [&](const auto &check) { return check->id == it->first; });
            checking != m_checksInSlices.end()) {
            (*checking)->again = true;
            ++it;
            continue;
        }
        if (isCheckedInSlices(it->first, *menu)) {
            startChangeCheck(it->first, menu);
            ++it;
            continue;
        }
        // A menu that listed its rows afresh (a folder that changed on disk) keeps the ids of those that
        // came back.
        Looks looks;
        keepIdsOfRelistedRows(menu, it->second, &looks);
        compareWithSent(it->first, it->second, rows(*menu, &looks), changes);
        ++it;
    }
    tell(changes);
}

void DBusMenuExporter::compare(const std::vector<DBusMenuItemProperties> &before,
                               const std::vector<DBusMenuItemProperties> &now, std::size_t to,
                               Comparison &comparison) {
    if (before.size() != now.size()) {
        comparison.idsDiffer = comparison.looksDiffer = true;
        comparison.compared = to;
        return;
    }
    // Once both differ, the host reads the menu again whatever the rows are.
    for (; comparison.compared < to && !(comparison.idsDiffer && comparison.looksDiffer);
         ++comparison.compared) {
        const std::size_t index = comparison.compared;
        if (before[index].id != now[index].id)
            comparison.idsDiffer = true;
        if (!sameProperties(before[index].properties, now[index].properties)) {
            comparison.looksDiffer = true;
            comparison.differing.push_back(index);
        }
    }
    comparison.compared = std::max(comparison.compared, to);
}

const DBusMenuExporter::Comparison *DBusMenuExporter::comparedWith(const Comparison *given,
                                                                   std::uint64_t revision) {
    for (; given; given = given->earlier.get()) {
        if (given->ofRevision == revision)
            return given;
    }
    return nullptr;
}

bool DBusMenuExporter::leavesReadersBehind(SentMenu &sent, const std::vector<DBusMenuItemProperties> &now,
                                           const Comparison *given) {
    if (!sent.toldRows)
        return false;
    SharedRows toldRows = std::exchange(sent.toldRows, nullptr);
    Comparison made;
    const Comparison &comparison = comparisonOf(*toldRows, sent.toldRevision, now, given, made);
    const bool isBehind = comparison.looksDiffer || (comparison.idsDiffer && !comparison.isEveryRowKnown);
    discardAside(std::move(toldRows));
    return isBehind;
}

const DBusMenuExporter::Comparison &
DBusMenuExporter::comparisonOf(const std::vector<DBusMenuItemProperties> &before, std::uint64_t revision,
                               const std::vector<DBusMenuItemProperties> &now, const Comparison *given,
                               Comparison &made) {
    if (const Comparison *checked = comparedWith(given, revision))
        return *checked;
    compare(before, now, now.size(), made);
    // Asked only when it decides, as a check does.
    if (made.idsDiffer && !made.looksDiffer)
        isKnown(before, made, before.size());
    return made;
}

bool DBusMenuExporter::isKnown(const std::vector<DBusMenuItemProperties> &rows, Comparison &comparison,
                               std::size_t to) {
    for (; comparison.known < to && comparison.isEveryRowKnown; ++comparison.known)
        comparison.isEveryRowKnown = isKnownId(rows[comparison.known].id);
    comparison.known = std::max(comparison.known, to);
    return comparison.isEveryRowKnown;
}

void DBusMenuExporter::replaceRows(SentMenu &sent, SharedRows rows) {
    discardAside(std::exchange(sent.rows, std::move(rows)));
    sent.revision = ++m_rowsRevisions;
}

void DBusMenuExporter::compareWithSent(int id, SentMenu &sent, std::vector<DBusMenuItemProperties> now,
                                       Changes &changes, const Comparison *given, ListedItems *listed) {
    SharedRows rowsBefore = sent.rows;
    const std::vector<DBusMenuItemProperties> &before = *rowsBefore;
    // Never an empty root: the host would show nothing at its next click.
    if (id == 0 && now.empty())
        return;
    // Another program read the menu before the host was told of this: the host reads it again.
    const bool leftBehind = leavesReadersBehind(sent, now, given);
    // Left behind, the host reads the menu again whatever the rows are: as if every row differed.
    Comparison made;
    if (leftBehind)
        made.idsDiffer = made.looksDiffer = true;
    const Comparison &comparison = leftBehind ? made : comparisonOf(before, sent.revision, now, given, made);
    const bool isSameIds = !comparison.idsDiffer;
    // Listed afresh as it was while the rows the host holds still answer: its copy is true as it is.
    if (!isSameIds && !comparison.looksDiffer && comparison.isEveryRowKnown) {
        discardAside(std::move(now));
        return;
    }
    if (!isSameIds) {
        changes.changedMenus.push_back(id);
    } else {
        DBusMenuItemPropertiesList menuUpdated;
        DBusMenuItemPropertyNamesList menuRemoved;
        qsizetype menuBytes = 0;
        for (const std::size_t index : comparison.differing) {
            menuUpdated.append(now[index]);
            menuBytes += marshalledSize(now[index].properties);
            QStringList gone;
            for (auto property = before[index].properties.cbegin();
                 property != before[index].properties.cend(); ++property) {
                if (!now[index].properties.contains(property.key()))
                    gone.append(property.key());
            }
            if (!gone.isEmpty())
                menuRemoved.append({now[index].id, gone});
        }
        // More changed than a message holds (every picture of a long folder): the host reads the menu
        // again instead, as a layout bounded to what a message holds.
        if (changes.updatedBytes + menuBytes > kMostLayoutBytes) {
            changes.changedMenus.push_back(id);
        } else {
            changes.updated += menuUpdated;
            changes.removed += menuRemoved;
            changes.updatedBytes += menuBytes;
        }
    }
    // Told of a new layout, the host reads it again; rows it is told of are those it had.
    auto rows = std::make_shared<const std::vector<DBusMenuItemProperties>>(std::move(now));
    hold(id, sent, rows, /*isRead=*/isSameIds, listed);
    replaceRows(sent, std::move(rows));
    // The last reference to what the host had: freed off the main thread, as replaceRows would have.
    discardAside(std::move(rowsBefore));
}

void DBusMenuExporter::tell(const Changes &changes) {
    if (!changes.updated.isEmpty() || !changes.removed.isEmpty())
        Q_EMIT ItemsPropertiesUpdated(changes.updated, changes.removed);
    if (changes.changedMenus.empty())
        return;
    ++m_revision;
    for (const int id : changes.changedMenus)
        Q_EMIT LayoutUpdated(m_revision, id);
}

std::shared_ptr<DBusMenuExporter::CheckInSlices> DBusMenuExporter::startCheck(
    int id, const std::shared_ptr<Menu> &menu, bool keepsIds,
    std::function<void(std::vector<DBusMenuItemProperties> *, Comparison *, ListedItems *)> done) {
    auto check = std::make_shared<CheckInSlices>();
    check->id = id;
    check->menu = menu;
    check->keepsIds = keepsIds;
    if (const auto sent = m_sent.find(id); sent != m_sent.end() && sent->second.menu.lock() == menu) {
        check->hasBefore = true;
        check->before = sent->second.rows;
        check->comparison.ofRevision = sent->second.revision;
    }
    check->done = std::move(done);
    listForSlices(*menu, check->looks, check->source, check->rows);
    m_checksInSlices.push_back(check);
    continueLater(check, &DBusMenuExporter::continueCheck);
    return check;
}

void DBusMenuExporter::startChangeCheck(int id, const std::shared_ptr<Menu> &menu) {
    startCheck(id, menu, /*keepsIds=*/true,
               [this, id, menu](std::vector<DBusMenuItemProperties> *now, Comparison *comparison,
                                ListedItems *listed) {
                   const auto sent = m_sent.find(id);
                   if (!now || sent == m_sent.end() || sent->second.menu.lock() != menu) {
                       // Gone from the tree, another menu under that id, or being listed afresh: the next
                       // check looks at it as it is then.
                       scheduleChangeCheck();
                       return;
                   }
                   // The host never hears of a change before the layout it applies to.
                   if (m_layoutsBeingWritten > 0) {
                       m_changeCheckHeld = true;
                       return;
                   }
                   Changes changes;
                   compareWithSent(id, sent->second, std::move(*now), changes, comparison, listed);
                   tell(changes);
                   if (id == 0 && std::find(changes.changedMenus.begin(), changes.changedMenus.end(), 0) ==
                                      changes.changedMenus.end())
                       giveRootBackAfterCheck();
               });
}

void DBusMenuExporter::continueCheck(const std::shared_ptr<CheckInSlices> &check) {
    const auto finish = [&](std::vector<DBusMenuItemProperties> *now, ListedItems *listed) {
        std::erase(m_checksInSlices, check);
        // What was found of the rows holds for the rows they were compared with (see comparedWith).
        discardAside(std::move(check->before));
        check->done(now, now == &check->rows && check->hasBefore ? &check->comparison : nullptr, listed);
        letGo(std::move(check->looks.items));
        // Rows the check made that nobody took (the check was dropped, or is to be made again).
        discardAside(std::move(check->rows));
        if (check->again)
            scheduleChangeCheck();
    };
    const auto menu = check->menu.lock();
    if (!menu || menuFor(check->id) != menu || menu->isAwaitingContents()) {
        finish(nullptr, nullptr);
        return;
    }
    if (check->keepsIds && check->nextBefore < check->before->size()) {
        const auto &before = *check->before;
        check->nextBefore =
            *forATurn(check->nextBefore, before.size(), [&](std::size_t from, std::size_t to) {
                for (std::size_t index = from; index < to; ++index) {
                    if (isOrphan(before[index], *menu))
                        check->orphans.push_back(&before[index]);
                }
                return true;
            });
        continueLater(check, &DBusMenuExporter::continueCheck);
        return;
    }
    const std::size_t items = check->looks.items.size();
    if (check->nextItem == items) {
        // The rows made, then compared with what the host has, a slice at a time; then whether the rows it
        // has still answer, when only that decides.
        Comparison &comparison = check->comparison;
        const std::size_t count = check->rows.size();
        if (check->hasBefore && comparison.compared < count) {
            forATurn(comparison.compared, count, [&](std::size_t, std::size_t to) {
                compare(*check->before, check->rows, to, comparison);
                return true;
            });
            continueLater(check, &DBusMenuExporter::continueCheck);
            return;
        }
        if (check->hasBefore && comparison.idsDiffer && !comparison.looksDiffer &&
            comparison.known < check->before->size() &&
            isKnown(*check->before, comparison,
                    std::min(check->before->size(), comparison.known + kRowsPerSlice))) {
            continueLater(check, &DBusMenuExporter::continueCheck);
            return;
        }
        // The host was given other rows meanwhile (it read the menu, or another check told it), or others
        // still have the rows from before a change was told: compared with those too, a slice at a time,
        // rather than whole on the turn that uses what was found. Twice at most, so that a host that keeps
        // reading cannot keep the check from ending.
        if (const auto sent = m_sent.find(check->id);
            check->recompared < 2 && sent != m_sent.end() && sent->second.menu.lock() == menu) {
            const SentMenu &host = sent->second;
            const Comparison *given = check->hasBefore ? &comparison : nullptr;
            const Comparison *told = host.toldRows ? comparedWith(given, host.toldRevision) : nullptr;
            // Those left behind read the menu again, whatever the host's own rows are.
            const bool isBehind = told && (told->looksDiffer || (told->idsDiffer && !told->isEveryRowKnown));
            SharedRows next;
            std::uint64_t revision = 0;
            if (host.toldRows && !told) {
                next = host.toldRows;
                revision = host.toldRevision;
            } else if (!isBehind && !comparedWith(given, host.revision)) {
                next = host.rows;
                revision = host.revision;
            }
            if (next) {
                ++check->recompared;
                auto earlier = given ? std::make_shared<const Comparison>(std::move(comparison)) : nullptr;
                check->hasBefore = true;
                // What it was compared with may be the last reference to rows the host no longer has.
                discardAside(std::exchange(check->before, std::move(next)));
                check->nextBefore = check->before->size();
                check->orphans.clear();
                comparison = Comparison{};
                comparison.ofRevision = revision;
                comparison.earlier = std::move(earlier);
                continueLater(check, &DBusMenuExporter::continueCheck);
                return;
            }
        }
        finish(&check->rows, &check->looks.items);
        return;
    }
    // Matching rows listed again with the host's costs more the fewer come back as they were (new pictures,
    // another order).
    const auto made = forATurn(check->nextItem, items, [&](std::size_t from, std::size_t to) {
        if (!makeSourceRows(*menu, check->looks, check->source, from, to))
            return false;
        if (check->nextOrphan < check->orphans.size()) {
            // Only this run's rows are made ahead: a long menu's would fault in megabytes on one turn.
            check->looks.rows.clear();
            check->looks.rows.resize(to - from);
            check->looks.rowsFrom = from;
            takeIdsOfOrphans(check->looks, check->orphans, check->nextOrphan, from, to);
        }
        appendRows(check->rows, check->looks, from, to);
        check->separators.look(check->rows);
        return true;
    });
    if (!made) {
        // Listed afresh meanwhile (a folder that changed on disk): checked again from the start, a slice
        // at a time; whole as it is now when that happens again, so that a folder that keeps changing is
        // checked all the same.
        if (!check->isRestarted) {
            std::erase(m_checksInSlices, check);
            discardAside(std::move(check->before));
            letGo(std::move(check->looks.items));
            discardAside(std::move(check->rows));
            const auto restarted = startCheck(check->id, menu, check->keepsIds, std::move(check->done));
            restarted->isRestarted = true;
            restarted->again = check->again;
            return;
        }
        Looks looks;
        if (const auto sent = m_sent.find(check->id); check->keepsIds && sent != m_sent.end())
            keepIdsOfRelistedRows(menu, sent->second, &looks);
        std::vector<DBusMenuItemProperties> now = rows(*menu, &looks);
        finish(&now, &looks.items);
        return;
    }
    check->nextItem = *made;
    if (check->nextItem == items)
        check->separators.end(check->rows);
    continueLater(check, &DBusMenuExporter::continueCheck);
}

} // namespace kestrova::platform::desktop
