#include "storage/atomic_file.h"
#include "storage/error.h"
#include "storage/glyph_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QTemporaryDir>

#include "file_bytes.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <random>

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

QString saveFailure(const QString &path, const AtomicWrite &write = {}) {
    const QByteArray bytes = glyphFileBytes(defaultGlyphNames(), GlyphSet());
    try {
        if (write)
            writeFileAtomically(path, bytes, write);
        else
            glyphs_to_file(path, defaultGlyphNames(), GlyphSet());
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("(saved without complaint)");
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

TEST_F(HostileFiles, AllFieldsOutOfRangeFailAtTheFirstPixel) {
    QByteArray bytes;
    for (int i = 0; i < 328; ++i)
        bytes += "99999\r\n";
    const QString file = path("big-numbers.ch");
    writeAll(file, bytes);

    EXPECT_EQ(loadFailure(file),
              QStringLiteral("\"%1\", line 9: the number 99999 doesn't fit between -32768 and 32767.").arg(file));
    EXPECT_EQ(readAll(file), bytes);
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

TEST_F(HostileFiles, SaveIntoReadOnlyFolderKeepsTheOlderFile) {
    const QString file = path("kept.ch");
    writeAll(file, olderFile());
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    QString message;
    {
        const PermissionBitsBind bind;
        if (!bind.binds()) {
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            GTEST_SKIP() << "running as root without the right to lower its capabilities";
        }
        message = saveFailure(file);
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Can't write \"%1\": ").arg(file))) << message.toStdString();
    EXPECT_EQ(readAll(file), olderFile());
}

TEST_F(HostileFiles, SaveFailingPartWayKeepsTheOlderFileByteForByte) {
    const QString file = path("kept.ch");
    writeAll(file, olderFile());
    const auto halfThenStop = [](QIODevice &device, const QByteArray &bytes) {
        return device.write(bytes.left(bytes.size() / 2));
    };

    EXPECT_EQ(saveFailure(file, halfThenStop),
              QStringLiteral("Can't write \"%1\": the write stopped part-way.").arg(file));
    EXPECT_EQ(readAll(file), olderFile());
    // Nothing half-written is left lying beside it either.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("kept.ch")});
}

TEST_F(HostileFiles, SaveFailingWithADeviceErrorNamesIt) {
    const QString file = path("kept.ch");
    writeAll(file, olderFile());
    const auto deviceError = [](QIODevice &, const QByteArray &) { return qint64(-1); };

    const QString message = saveFailure(file, deviceError);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Can't write \"%1\": ").arg(file))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(u'.'));
    EXPECT_EQ(readAll(file), olderFile());
}
