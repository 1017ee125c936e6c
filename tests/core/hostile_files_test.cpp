#include "codegen/asm_file.h"
#include "codegen/code_generation.h"
#include "codegen/template_text.h"
#include "storage/error.h"
#include "storage/glyph_file.h"
#include "storage/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/syscall.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

using namespace glimmerset;
using glimmerset::test::readAll;
using glimmerset::test::writeAll;

namespace {

QString loadFailure(const QString &path) {
    try {
        glyphs_from_file(path);
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("(loaded without complaint)");
}

// The message a save ends in; save writes through path.
QString saveFailure(const std::function<void()> &save) {
    try {
        save();
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("(saved without complaint)");
}

QString saveFailure(const QString &path) {
    return saveFailure([&] { glyphs_to_file(path, defaultGlyphNames(), GlyphSet()); });
}

// A well-formed file saved earlier, which a failed save must leave alone.
QByteArray olderFile() {
    GlyphSet set;
    set.setPixel(3, 2, 5, 1);
    GlyphNames names = defaultGlyphNames();
    names[0] = QStringLiteral("older");
    return glyphFileBytes(names, set);
}

// Root passes any permission bits by way of two capabilities; lowering them
// for the calling thread lets the permission tests bind under root as well.
class PermissionBitsBind {
public:
    PermissionBitsBind() {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~PermissionBitsBind() {
        if (lowered_)
            syscall(SYS_capset, &header_, saved_);
    }
    PermissionBitsBind(const PermissionBitsBind &) = delete;
    PermissionBitsBind &operator=(const PermissionBitsBind &) = delete;
    bool binds() const { return geteuid() != 0 || lowered_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

// A lower file-size limit for this process, with SIGXFSZ ignored so a write
// past it fails with EFBIG as on a full disk; both restored afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{bytes, saved_.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = SIG_DFL;
};

// Ends the test run should anything block for longer than seconds.
class AlarmGuard {
public:
    explicit AlarmGuard(unsigned seconds) { ::alarm(seconds); }
    ~AlarmGuard() { ::alarm(0); }
    AlarmGuard(const AlarmGuard &) = delete;
    AlarmGuard &operator=(const AlarmGuard &) = delete;
};

// Watches a folder while a save runs in this thread: the mode each new file
// had when the watcher got to it, and whether bytes reached it before its
// mode was set. The kernel queues the events in order, so that order is
// exact; the mode is whatever the file had a moment after it appeared.
class FolderWatch {
public:
    struct NewFile {
        mode_t mode = 0;
        bool writtenBeforeModeSet = false;
    };

    explicit FolderWatch(const QString &folder)
        : inotify_(::inotify_init1(IN_CLOEXEC)), stop_(::eventfd(0, EFD_CLOEXEC)),
          folder_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        EXPECT_GE(::inotify_add_watch(inotify_, QFile::encodeName(folder).constData(),
                                      IN_CREATE | IN_ATTRIB | IN_MODIFY),
                  0);
        thread_ = std::thread([this] { watch(); });
    }
    ~FolderWatch() {
        if (thread_.joinable())
            stop();
        for (int fd : {inotify_, stop_, folder_})
            ::close(fd);
    }
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    // Every file that appeared, by name.
    std::map<std::string, NewFile> stop() {
        const std::uint64_t one = 1;
        EXPECT_EQ(::write(stop_, &one, sizeof one), ssize_t(sizeof one));
        thread_.join();
        return files_;
    }

private:
    void watch() {
        std::set<std::string> modeSet;
        alignas(inotify_event) char buffer[64 * 1024];
        for (bool stopping = false;;) {
            pollfd fds[2] = {{inotify_, POLLIN, 0}, {stop_, POLLIN, 0}};
            // After the stop, what is still queued is read before leaving.
            if (::poll(fds, 2, stopping ? 0 : -1) <= 0 || !(fds[0].revents & POLLIN)) {
                if (stopping || (fds[1].revents & POLLIN)) {
                    if (stopping)
                        return;
                    stopping = true;
                }
                continue;
            }
            const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const std::string name = event->len ? event->name : "";
                if (event->mask & IN_CREATE) {
                    struct stat st {};
                    files_[name].mode = ::fstatat(folder_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                                            ? st.st_mode & 07777
                                            : 0;
                } else if (event->mask & IN_ATTRIB) {
                    modeSet.insert(name);
                } else if ((event->mask & IN_MODIFY) && !modeSet.count(name) && files_.count(name)) {
                    files_[name].writtenBeforeModeSet = true;
                }
            }
        }
    }

    int inotify_, stop_, folder_;
    std::map<std::string, NewFile> files_;
    std::thread thread_;
};

// Bytes this thread has read from files so far.
qint64 bytesReadByThisThread() {
    QFile io(QStringLiteral("/proc/thread-self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

class HostileFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(HostileFiles, BinaryNoiseEndsInAMessageNamingFileAndLine) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray noise(1024, '\0');
    for (char &b : noise)
        b = static_cast<char>(byte(random));
    const QString file = path("noise.ch");
    writeAll(file, noise);

    const QString message = loadFailure(file);
    EXPECT_TRUE(message.startsWith(QStringLiteral("\"%1\", line ").arg(file))) << message.toStdString();
    EXPECT_EQ(readAll(file), noise);
}

TEST_F(HostileFiles, HundredMegabytesOnOneLineStopsAtTheMissingSecondField) {
    const QString file = path("huge.ch");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'x');
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(f.write(chunk), chunk.size());
    }
    EXPECT_EQ(loadFailure(file),
              QStringLiteral("\"%1\", line 1: the file ends where more was expected.").arg(file));
    EXPECT_EQ(QFile(file).size(), 100 << 20);
}

// One endless field in a glyph file or a template: memory runs out, and the
// message still names the file and the line. A template that runs out part
// of the way keeps every field read before. The address space is capped just
// above what the process holds, so tens of MiB stand in for gigabytes.
TEST_F(HostileFiles, RunningOutOfMemoryIsNamed) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers reserve more address space than any cap leaves";
    const QString file = path("endless.asm");
    const auto underCap = [&](qint64 headroom, const std::function<QString()> &read) {
        QFile status(QStringLiteral("/proc/self/status"));
        EXPECT_TRUE(status.open(QIODevice::ReadOnly));
        qint64 held = 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                held = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
        EXPECT_GT(held, 0);
        rlimit saved{};
        ::getrlimit(RLIMIT_AS, &saved);
        const rlimit capped{rlim_t(held + headroom), saved.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_AS, &capped), 0);
        const QString message = read();
        ::setrlimit(RLIMIT_AS, &saved);
        return message;
    };
    QString code;
    const auto templateStage = [&] {
        code.clear();
        return appendTemplateText(code, file).value_or(QStringLiteral("(read without complaint)"));
    };
    const QString tooLong = QStringLiteral("\"%1\", line 1: a field too long to hold in memory.").arg(file);
    const QByteArray lines = "LDI r16, 1\r\n; kept\r\n";
    const struct {
        const char *what;
        QByteArray bytes;
        qint64 headroom;
        std::function<QString()> read;
        QString message;
        QString codeBegins;
    } cases[] = {
        {"a glyph file", QByteArray(64 << 20, 'x'), 48 << 20, [&] { return loadFailure(file); }, tooLong, {}},
        {"a template", QByteArray(64 << 20, 'x'), 48 << 20, templateStage,
         QStringLiteral("\"%1\": the template is too large to hold in memory.").arg(file), {}},
        // Read into what its size reserved, until line ends, each two characters
        // out, outgrow that.
        {"a template, part of the way", lines + QByteArray(8 << 20, '\n'), 24 << 20, templateStage,
         QStringLiteral("\"%1\": the template is too large to hold in memory.").arg(file),
         QStringLiteral("LDI r16,1\r\n; kept\r\n\r\n")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeAll(file, c.bytes);
        EXPECT_EQ(underCap(c.headroom, c.read), c.message);
        EXPECT_TRUE(code.startsWith(c.codeBegins)) << code.left(40).toStdString();
        QFile::remove(file);
    }
}

// The message names the line the field stands on and quotes the field, cut
// short: a field can be hundreds of kilobytes long.
TEST_F(HostileFiles, NumbersThatDontFitAreNamedShortly) {
    QByteArray names;
    for (int g = 1; g <= 8; ++g)
        names += "Character " + QByteArray::number(g) + "\r\n";
    const struct {
        const char *what;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"every field", QByteArray("99999\r\n").repeated(328), "line 9: the number \"99999\" doesn't fit"},
        {"after a line of its own", names + " 0 \r\n-32769\r\n", "line 10: the number \"-32769\" doesn't fit"},
        {"with 200,000 letters behind it", names + "32768" + QByteArray(200000, 'x') + "\r\n",
         "line 9: the number \"32768" + QString(55, u'x') + "...\" (200005 characters) doesn't fit"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path("numbers.ch");
        writeAll(file, c.bytes);
        EXPECT_EQ(loadFailure(file).toStdString(),
                  QStringLiteral("\"%1\", %2 between -32768 and 32767.").arg(file, c.message).toStdString());
        EXPECT_EQ(readAll(file), c.bytes);
        QFile::remove(file);
    }
}

TEST_F(HostileFiles, LoadingStopsReadingAfterTheLastField) {
    const QByteArray saved = olderFile();
    const QString file = path("tail.ch");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(saved), saved.size());
        const QByteArray junk(1 << 20, '\xff');
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(f.write(junk), junk.size());
    }
    const qint64 before = bytesReadByThisThread();
    if (before < 0)
        GTEST_SKIP() << "this kernel doesn't count the bytes a thread reads";

    const GlyphFileContent content = glyphs_from_file(file);
    const qint64 read = bytesReadByThisThread() - before;
    EXPECT_EQ(content.names[0], QStringLiteral("older"));
    EXPECT_TRUE(content.glyphs.isLit(3, 2, 5));
    // One buffer's worth past the fields at most, never the 64 MiB tail.
    EXPECT_LT(read, saved.size() + 128 * 1024);
}

// A 300 MB program source is refused by its size, not read into memory.
TEST_F(HostileFiles, AHugeSourceIsRefusedUnread) {
    const QString file = path("huge.asm");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(300) << 20));
    }
    const qint64 before = bytesReadByThisThread();
    try {
        readRegularFile(file, qint64(16) << 20, QStringLiteral("a program's source"));
        ADD_FAILURE() << "read whole";
    } catch (const Error &error) {
        EXPECT_EQ(
            error.message(),
            QStringLiteral("\"%1\" is over 16 MiB: too large to be a program's source.").arg(file));
    }
    if (before >= 0)
        EXPECT_LT(bytesReadByThisThread() - before, 1 << 20);
}

TEST_F(HostileFiles, FolderWhereAFileIsExpected) {
    const QString folder = path("a-folder.ch");
    ASSERT_TRUE(QDir().mkdir(folder));
    writeAll(folder + QStringLiteral("/inside"), "kept");

    EXPECT_EQ(loadFailure(folder), QStringLiteral("Can't open \"%1\" for reading: it is a folder.").arg(folder));
    EXPECT_EQ(saveFailure(folder), QStringLiteral("Can't write \"%1\": it is a folder.").arg(folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(readAll(folder + QStringLiteral("/inside")), "kept");
}

TEST_F(HostileFiles, FileWithoutReadPermission) {
    const QString file = path("locked.ch");
    writeAll(file, olderFile());
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::WriteOwner));

    QString message;
    {
        const PermissionBitsBind bind;
        if (!bind.binds())
            GTEST_SKIP() << "running as root without the right to lower its capabilities";
        message = loadFailure(file);
    }
    EXPECT_TRUE(message.startsWith(QStringLiteral("Can't open \"%1\" for reading: ").arg(file)))
        << message.toStdString();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readAll(file), olderFile());
}

// A writable file in a read-only folder can be truncated and written though
// nothing can be created beside it, so it is written in place rather than not
// at all.
TEST_F(HostileFiles, SaveIntoReadOnlyFolder) {
    const QString file = path("kept.ch");
    const QByteArray saved = glyphFileBytes(defaultGlyphNames(), GlyphSet());
    struct Case {
        const char *what;
        bool exists;
        QFileDevice::Permissions filePermissions;
        QString message; // empty: saved
        rlim_t sizeLimit = RLIM_INFINITY;
        int olderCopies = 1; // how long the file was
    };
    const auto readOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    const auto fullFolder = readOnlyFolder | QFileDevice::WriteOwner;
    const Case cases[] = {
        {"writable file", true, QFileDevice::ReadOwner | QFileDevice::WriteOwner, {}},
        {"writable file, longer than what replaces it", true, QFileDevice::ReadOwner | QFileDevice::WriteOwner, {},
         RLIM_INFINITY, 3},
        // Found before the old bytes are touched, though written in place.
        {"writable file past the size limit", true, QFileDevice::ReadOwner | QFileDevice::WriteOwner,
         QStringLiteral("Can't write \"%1\": File too large.").arg(file), 1024},
        {"read-only file", true, QFileDevice::ReadOwner,
         QStringLiteral("Can't write \"%1\": Permission denied.").arg(file)},
        {"new file", false, {},
         QStringLiteral("Can't write \"%1\": can't create a file in the folder \"%2\": Permission denied.")
             .arg(file, dir.path())},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(file);
        if (c.exists) {
            writeAll(file, olderFile().repeated(c.olderCopies));
            ASSERT_TRUE(QFile::setPermissions(file, c.filePermissions));
        }
        ASSERT_TRUE(QFile::setPermissions(dir.path(), readOnlyFolder));
        QString message;
        {
            const PermissionBitsBind bind;
            if (!bind.binds()) {
                QFile::setPermissions(dir.path(), fullFolder);
                GTEST_SKIP() << "running as root without the right to lower its capabilities";
            }
            std::optional<FileSizeLimit> limit;
            if (c.sizeLimit != RLIM_INFINITY)
                limit.emplace(c.sizeLimit);
            message = saveFailure(file);
        }
        QFile::setPermissions(dir.path(), fullFolder);
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (c.message.isEmpty()) {
            EXPECT_EQ(message, QStringLiteral("(saved without complaint)"));
            EXPECT_EQ(readAll(file), saved);
        } else {
            EXPECT_EQ(message, c.message);
            EXPECT_EQ(readAll(file), c.exists ? olderFile() : QByteArray("(unreadable)"));
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), c.exists ? 1 : 0);
    }
}

// Every .ch and most .asm files fit in a write buffer, so the failure comes
// only when the bytes reach the file; past the file-size limit (the signal
// ignored, as a full disk does) the save must fail with the system's reason.
TEST_F(HostileFiles, SavePastTheFileSizeLimitKeepsTheOlderFile) {
    QString bigCode;
    for (int i = 0; i < 1000; ++i)
        bigCode += QStringLiteral("    LDI R16, %1 ; a line of the program\r\n").arg(i);
    ASSERT_GT(bigCode.size(), 16 * 1024 * 2);
    struct Case {
        const char *name;
        rlim_t limit;
        std::function<void(const QString &)> save;
    };
    const Case cases[] = {
        {"small.ch", 1024, [](const QString &p) { glyphs_to_file(p, defaultGlyphNames(), GlyphSet()); }},
        {"small.asm", 4096, [&](const QString &p) { write_asm_file(p, bigCode.left(4900)); }},
        {"large.asm", 16 * 1024, [&](const QString &p) { write_asm_file(p, bigCode); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(c.name);
        const QByteArray older = olderFile().repeated(3);
        writeAll(file, older);
        QString message;
        {
            const FileSizeLimit limit(c.limit);
            message = saveFailure([&] { c.save(file); });
        }
        EXPECT_EQ(message, QStringLiteral("Can't write \"%1\": File too large.").arg(file));
        EXPECT_EQ(readAll(file), older);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QString::fromLatin1(c.name)});
        QFile::remove(file);
    }
}

// A FIFO must be refused without waiting for a writer: the alarm ends the
// suite rather than let it hang should an open() ever block again.
TEST_F(HostileFiles, ReadingSomethingThatIsNotARegularFile) {
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char *what;
        QString target;
        QString kind;
    };
    const Case cases[] = {
        {"FIFO", fifo, QStringLiteral("a FIFO")},
        {"device", QStringLiteral("/dev/zero"), QStringLiteral("a device")},
    };
    const AlarmGuard alarm(10);
    for (const Case &c : cases) {
        for (const bool throughLink : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (throughLink ? " through a symlink" : ""));
            const QString chosen = throughLink ? path("link.ch") : c.target;
            const QString templates = path("templates");
            ASSERT_TRUE(QDir().mkpath(templates));
            if (throughLink) {
                QFile::remove(chosen);
                ASSERT_TRUE(QFile::link(c.target, chosen));
            }
            for (const char *name : {"main.asm", "rest.asm"})
                ASSERT_TRUE(QFile::link(c.target, templates + u'/' + QLatin1String(name)));

            const QString refusal = QStringLiteral("Can't open \"%1\" for reading: it is %2, not a regular file.");
            EXPECT_EQ(loadFailure(chosen), refusal.arg(chosen, c.kind));
            QString code = QStringLiteral("kept");
            const auto main = appendTestProgram(code, templates);
            const auto rest = appendRestOfCode(code, templates);
            ASSERT_TRUE(main && rest);
            EXPECT_EQ(main->message, kMainTemplateMissing);
            EXPECT_EQ(rest->message, kRestTemplateMissing);
            EXPECT_TRUE(rest->reason.contains(QStringLiteral("rest.asm\" for reading: it is %1").arg(c.kind)))
                << rest->reason.toStdString();
            EXPECT_EQ(code, QStringLiteral("kept"));
            QDir(templates).removeRecursively();
        }
    }
    EXPECT_TRUE(QFileInfo(fifo).exists());
}

// A save onto a device, FIFO or socket, directly or through a symlink,
// replaces nothing; as root a rename would have replaced /dev/null itself.
TEST_F(HostileFiles, SavingOntoSomethingThatIsNotARegularFile) {
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString socketPath = path("socket");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(socketPath);
    ASSERT_LT(socketName.size(), qsizetype(sizeof address.sun_path));
    std::memcpy(address.sun_path, socketName.constData(), socketName.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    struct Case {
        QString target;
        QString kind;
        mode_t type;
    };
    const Case cases[] = {
        {QStringLiteral("/dev/null"), QStringLiteral("a device"), S_IFCHR},
        {fifo, QStringLiteral("a FIFO"), S_IFIFO},
        {socketPath, QStringLiteral("a socket"), S_IFSOCK},
    };
    const AlarmGuard alarm(10);
    for (const Case &c : cases) {
        for (const bool throughLink : {false, true}) {
            SCOPED_TRACE(c.target.toStdString() + (throughLink ? " through a symlink" : ""));
            const QString chosen = throughLink ? path("link.ch") : c.target;
            if (throughLink) {
                QFile::remove(chosen);
                ASSERT_TRUE(QFile::link(c.target, chosen));
            }
            EXPECT_EQ(saveFailure(chosen),
                      QStringLiteral("Can't write \"%1\": it is %2, not a regular file, so nothing was written.")
                          .arg(chosen, c.kind));
            struct stat st {};
            ASSERT_EQ(::lstat(QFile::encodeName(c.target).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & S_IFMT, c.type);
            EXPECT_EQ(QFileInfo(chosen).isSymLink(), throughLink);
        }
    }
    ::close(sock);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3);
}

// The new file takes the old one's mode bits, and its owner and group where
// the process may set them, before the first byte is written: a private file
// is never readable by others, not even while it is being written.
TEST_F(HostileFiles, ReplacedFileKeepsWhatTheOldOneHad) {
    const QByteArray saved = glyphFileBytes(defaultGlyphNames(), GlyphSet());
    const QString file = path("kept.ch");
    const QString link = path("link.ch");
    const bool root = geteuid() == 0;
    struct Case {
        mode_t mode;
        bool throughLink;
    };
    for (const Case c : {Case{0600, false}, Case{0640, false}, Case{0755, false}, Case{02750, true}}) {
        SCOPED_TRACE(c.mode);
        writeAll(file, olderFile());
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), c.mode), 0);
        if (root) {
            ASSERT_EQ(::chown(QFile::encodeName(file).constData(), 4321, 8765), 0);
        }
        struct stat before {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
        if (c.throughLink) {
            ASSERT_TRUE(QFile::link(file, link));
        }

        FolderWatch watch(dir.path());
        EXPECT_EQ(saveFailure(c.throughLink ? link : file), QStringLiteral("(saved without complaint)"));
        const auto created = watch.stop();
        ASSERT_EQ(created.size(), 1u);
        const auto &[temporary, seen] = *created.begin();
        EXPECT_EQ(seen.mode & ~c.mode, 0u) << "the temporary file was " << std::oct << seen.mode;
        EXPECT_FALSE(seen.writtenBeforeModeSet);
        struct stat after {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_NE(after.st_ino, before.st_ino) << "written in place, not replaced";
        EXPECT_EQ(readAll(file), saved);
        EXPECT_EQ(QFileInfo(link).isSymLink(), c.throughLink);
        QFile::remove(link);
        QFile::remove(file);
    }
}

// A save follows a chain of links to its end, creating the file there when
// it is missing; a chain that leads round in a loop is refused.
TEST_F(HostileFiles, SavesThroughChainsOfSymlinks) {
    const QByteArray saved = glyphFileBytes(defaultGlyphNames(), GlyphSet());
    const QString loop = QStringLiteral("Can't write \"%1\": its symlinks lead round in a loop, so nothing was written.");
    const struct {
        const char *what;
        std::vector<std::pair<const char *, const char *>> links; // name, target
        const char *existing; // a file there before, or nullptr
        const char *written;  // the file that gets the bytes, or nullptr
    } cases[] = {
        {"to a missing file", {{"a.ch", "b.ch"}, {"b.ch", "c.ch"}}, nullptr, "c.ch"},
        {"to an existing file", {{"a.ch", "b.ch"}, {"b.ch", "c.ch"}}, "c.ch", "c.ch"},
        {"through a subfolder, each link relative to its own",
         {{"a.ch", "sub/b.ch"}, {"sub/b.ch", "c.ch"}}, nullptr, "sub/c.ch"},
        {"in a loop", {{"a.ch", "b.ch"}, {"b.ch", "a.ch"}}, nullptr, nullptr},
        {"to itself", {{"a.ch", "a.ch"}}, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(path("sub")));
        for (const auto &[name, target] : c.links)
            ASSERT_EQ(::symlink(target, QFile::encodeName(path(name)).constData()), 0);
        if (c.existing)
            writeAll(path(c.existing), olderFile());

        EXPECT_EQ(saveFailure(path("a.ch")), c.written ? QStringLiteral("(saved without complaint)")
                                                       : loop.arg(path("a.ch")));
        for (const auto &[name, target] : c.links)
            EXPECT_TRUE(QFileInfo(path(name)).isSymLink()) << name;
        if (c.written) {
            EXPECT_EQ(readAll(path(c.written)), saved);
        }
        const auto entries = [&](const char *folder) { return QDir(path(folder)).entryList(QDir::Files | QDir::System); };
        EXPECT_EQ(entries(".").size() + entries("sub").size(), c.links.size() + (c.written ? 1 : 0));
    }
}

// The temporary name beside a file of the longest names must still fit.
TEST_F(HostileFiles, LongFileNames) {
    const QByteArray saved = glyphFileBytes(defaultGlyphNames(), GlyphSet());
    QStringList names;
    for (int length = 249; length <= 256; ++length)
        names << QString(length - 3, u'g') + QStringLiteral(".ch");
    names << QString(126, QChar(0xE9)) + QStringLiteral("ch"); // 254 bytes in UTF-8
    for (const QString &name : names) {
        const qsizetype bytes = name.toUtf8().size();
        SCOPED_TRACE(bytes);
        const QString file = dir.filePath(name);
        if (bytes > 255) {
            EXPECT_EQ(saveFailure(file), QStringLiteral("Can't write \"%1\": File name too long.").arg(file));
        } else {
            writeAll(file, olderFile());
            EXPECT_EQ(saveFailure(file), QStringLiteral("(saved without complaint)"));
            EXPECT_EQ(readAll(file), saved);
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), bytes > 255 ? 0 : 1);
        QFile::remove(file);
    }
}
