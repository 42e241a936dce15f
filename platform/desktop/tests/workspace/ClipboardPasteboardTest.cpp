#include "platform/desktop/workspace/ClipboardPasteboard.h"
#include "platform/desktop/input/DesktopKeyboardState.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace kestrova::platform;

TEST(ClipboardPasteboardTest, WritesEveryTypeAndReadsThemBack) {
    PasteboardItem item;
    item.setString(QStringLiteral("/tmp/a b#c"), QString::fromLatin1(PasteboardType::string));
    item.setData("file:///tmp/a%20b%23c\r\n", QString::fromLatin1(PasteboardType::uriList));
    item.setString(QStringLiteral("org.kestrova.Kestrova"), QString::fromLatin1(PasteboardType::source));

    desktop::ClipboardPasteboard pasteboard;
    ASSERT_TRUE(pasteboard.writeObjects({item}));
    const QMimeData *written = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->text(), QStringLiteral("/tmp/a b#c"));
    EXPECT_EQ(written->data(QStringLiteral("text/uri-list")), QByteArray("file:///tmp/a%20b%23c\r\n"));
    EXPECT_EQ(written->data(QStringLiteral("org.nspasteboard.source")), QByteArray("org.kestrova.Kestrova"));

    const auto read = pasteboard.pasteboardItems();
    ASSERT_EQ(read.size(), 1U);
    EXPECT_EQ(read.front().string(QString::fromLatin1(PasteboardType::string)), QStringLiteral("/tmp/a b#c"));
    EXPECT_TRUE(read.front().hasType(QString::fromLatin1(PasteboardType::source)));

    EXPECT_FALSE(pasteboard.writeObjects({}));
    pasteboard.clearContents();
    EXPECT_TRUE(pasteboard.pasteboardItems().empty());
}

TEST(ClipboardPasteboardTest, TextThatIsNotUtf8KeepsItsBytes) {
    // A path whose name is not valid UTF-8, as the file actions write it: the bytes under the bare type.
    const QByteArray path("/tmp/bad\xff\xfe.txt");
    PasteboardItem item;
    item.setData(path, QStringLiteral("text/plain"));
    desktop::ClipboardPasteboard pasteboard;
    ASSERT_TRUE(pasteboard.writeObjects({item}));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")), path);

    const auto read = pasteboard.pasteboardItems();
    ASSERT_EQ(read.size(), 1U);
    EXPECT_EQ(read.front().data(QStringLiteral("text/plain")), path);
    EXPECT_FALSE(read.front().hasType(QString::fromLatin1(PasteboardType::string)));

    // Valid text read back under the UTF-8 text type, byte for byte.
    PasteboardItem text;
    text.setString(QStringLiteral("/tmp/Grüße"), QString::fromLatin1(PasteboardType::string));
    ASSERT_TRUE(pasteboard.writeObjects({text}));
    EXPECT_EQ(pasteboard.pasteboardItems().front().data(QString::fromLatin1(PasteboardType::string)),
              QStringLiteral("/tmp/Grüße").toUtf8());
}

TEST(DesktopKeyboardStateTest, QtModifiersMapOntoTheChordBits) {
    using desktop::DesktopKeyboardState;
    EXPECT_EQ(DesktopKeyboardState::flagsFromQtModifiers(Qt::ShiftModifier | Qt::ControlModifier), 0x60000U);
    EXPECT_EQ(DesktopKeyboardState::flagsFromQtModifiers(Qt::ShiftModifier | Qt::ControlModifier |
                                                         Qt::AltModifier | Qt::MetaModifier),
              0x1E0000U);
    EXPECT_EQ(DesktopKeyboardState::flagsFromQtModifiers(Qt::KeypadModifier), ModifierFlag::numericPad);
    EXPECT_EQ(DesktopKeyboardState::flagsFromQtModifiers(Qt::NoModifier), 0U);
}
