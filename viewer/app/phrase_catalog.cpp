// SPDX-License-Identifier: MIT
// The English forms of every text the program composes for a message box or the window:
// each as the code that composes it writes it. A language file gives its own text for a key
// in its "Phrases" section, with the same %n.
#include "viewer/app/phrase_book.h"

namespace lorvane::app {
namespace {

constexpr Phrase kPhrases[] = {
    // Phrases that hold others come first.
    {u"AtBlock", u"%1 at system %2, service %3, block %4"},
    {u"AtService", u"%1 at system %2, service %3"},
    {u"AtSystem", u"%1 at system %2"},
    {u"CannotBeRead", u"%1: cannot be read: %2"},
    {u"CannotBeWritten", u"%1: cannot be written: %2"},
    {u"AtLine", u"line %1: %2"},

    // Message box captions.
    {u"Error", u"Error"},
    {u"ErrorCaps", u"ERROR"},
    {u"Warning", u"Warning"},
    {u"Scan", u"Scan"},
    {u"PluginInformation", u"プラグイン情報"},

    // The viewer and its plug-in host.
    {u"DefinitionReadError", u".def file read error"},
    {u"NoValidReader", u"Select DLL have not valid reader."},
    {u"CallError", u"%1() error."},
    {u"PluginVersion", u"Ver %1"},
    {u"ProgramVersion", u"%1 Version %2"},
    {u"PluginDate", u"Date:%1"},
    {u"SettingsFolderLinks", u"The settings folder %1 %2: symbolic links in it are not followed."},
    {u"NoPluginFromFolder", u"No plug-in is loaded from %1: the folder %2."},
    {u"OtherUsersFolder", u"belongs to another user"},
    {u"EveryoneWrites", u"is writable by every user"},
    {u"GroupWrites", u"is writable by the users of its group"},
    {u"NoServiceAnswer", u"no PC/SC service (is pcscd installed and running?)"},
    {u"ServiceHung",
     u"the PC/SC service (pcscd) did not answer within %1: restart it (%2), then start Lorvane "
     u"again"},
    {u"ServiceForeign",
     u"something answers on the PC/SC service's socket %1, but not as pcscd does (%2): restart "
     u"the service (%3)"},
    {u"NoPluginAnswered", u"no reader plug-in answered"},

    // Files.
    {u"NoFolder", u"its folder does not exist"},
    {u"IsAFolder", u"is a folder, not a file"},
    {u"IsAFifo", u"is a FIFO, not a regular file"},
    {u"IsNotRegular", u"is not a regular file"},
    {u"NotRegular", u"not a regular file"},
    {u"LargerThan", u"is larger than %1 MB"},
    {u"LinkNotFollowed", u"is a symbolic link in %1, which %2: it is not followed"},
    {u"CannotCreateFolder", u"cannot create the folder %1: %2"},
    {u"PathTooLong", u"the path is longer than %1 bytes and cannot be kept"},
    {u"Denied", u"Permission denied"},
    {u"NoSuchFile", u"No such file or directory"},
    {u"DiskFull", u"No space left on device"},
    {u"ReadOnlyFileSystem", u"Read-only file system"},
    {u"IsADirectory", u"Is a directory"},
    {u"NotADirectory", u"Not a directory"},
    {u"TooManyLinks", u"Too many levels of symbolic links"},
    {u"QuotaExceeded", u"Disk quota exceeded"},
    {u"InputOutput", u"Input/output error"},
    {u"NameTooLong", u"File name too long"},

    // Card images.
    {u"Missing", u"missing \"%1\""},
    {u"ExpectedObject", u"expected an object"},
    {u"ExpectedList", u"expected a list"},
    {u"ExpectedFormat", u"expected \"felica-card-image\""},
    {u"ExpectedVersion", u"expected 1"},
    {u"ExpectedHex", u"expected %1 bytes in hexadecimal digits"},
    {u"NotJson", u"not valid JSON (line %1)"},
    {u"NumberOutOfRange", u"not valid JSON (a number out of range)"},
    {u"TooDeep", u"nested deeper than %1 levels"},
    {u"TooLarge", u"too large to read"},
    {u"TopLevel", u"top level"},
    {u"NotFlipper", u"not a Flipper FeliCa dump of data format version 2"},
    {u"SystemCode", u"expected a 4-digit system code"},
    {u"ServiceFirst", u"service before any system"},
    {u"BlockFirst", u"block before any system"},
    {u"BlockOrder", u"block index out of order"},
    {u"BytesAfter", u"expected 8 bytes after \"%1\""},

    // Reading a whole card.
    {u"NoCard", u"no card on the reader"},
    {u"NoPollAnswer", u"the card did not answer a poll of system %1"},
    {u"PollFailed", u"the reader failed to poll (status %1)"},
    {u"NoCardAfterPoll", u"the reader gave no card after a poll"},
    {u"SystemTwice", u"the card reported system %1 twice"},
    {u"NoSystem", u"the card reported no system"},
    {u"SearchTwice", u"the card's search of its services gave %1 twice"},
    {u"SearchBack", u"the card's search of its services went back to %1"},
    {u"SearchEndless", u"the card's search of its services went past %1 entries"},
    {u"SearchStopped", u"the card stopped answering the search of its services (status %1)"},
    {u"ReadFailed", u"reading failed (status %1)"},
    {u"AnotherCard", u"another card was laid on the reader"},
    {u"CardGone", u"the card left the reader and did not come back within %1"},
    {u"CardLeft", u"the card left the reader before the dump was complete"},

    // The history archive.
    {u"NotSqlite", u"not an SQLite database"},
    {u"Damaged", u"damaged (it fails SQLite's integrity check)"},
    {u"Locked", u"locked by another program for more than 5 seconds"},
    {u"ReadOnly", u"read-only"},
    {u"Full", u"the disk is full"},
    {u"CannotOpen", u"cannot be opened"},
    {u"NoLongerDecodes", u"the card's latest read no longer decodes"},
};

}  // namespace

std::span<const Phrase> PhraseCatalog() { return kPhrases; }

}  // namespace lorvane::app
