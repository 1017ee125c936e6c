#include "codegen/asm_file.h"
#include "storage/error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/file_bytes.h"

#include <gtest/gtest.h>

using namespace glimmerset;
using glimmerset::test::readAll;

TEST(AsmFile, WritesTheBufferAndOneLineEnd) {
    QTemporaryDir dir;
    const QString path = dir.filePath("prog.asm");
    write_asm_file(path, QString());
    EXPECT_EQ(readAll(path), "\r\n");
    write_asm_file(path, "RET\r\n");
    EXPECT_EQ(readAll(path), "RET\r\n\r\n");
    write_asm_file(path, QString::fromUtf8(";café € Ж\r\nRET"));
    EXPECT_EQ(readAll(path), ";caf\xe9 \x80 ?\r\nRET\r\n");
}

TEST(AsmFile, FailureNamesTheFileAndKeepsTheOldOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub");
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    try {
        write_asm_file(path, "RET");
        FAIL() << "wrote over a folder";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(path));
    }
    EXPECT_THROW(write_asm_file(dir.filePath("none/prog.asm"), "RET"), Error);
}
