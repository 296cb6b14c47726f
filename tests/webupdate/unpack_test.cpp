// Unpacking: the encrypted archive, a wrong password, entries that would leave
// the target or are links, data that fails halfway and a move that fails; the
// target is left as it was after every refusal.

#include "update/unpack.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <zip.h>

#include <map>
#include <sys/stat.h>

namespace quenor {
namespace {

struct ZipEntry {
    std::string name;
    std::string data;
    unsigned mode = 0100644;  // Unix type and permissions
};

// Writes a plain (stored) archive with libzip.
bool MakeZip(const QString& path, const std::vector<ZipEntry>& entries)
{
    int error = 0;
    zip_t* z = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const ZipEntry& e : entries) {
        zip_int64_t index;
        if (!e.name.empty() && e.name.back() == '/') {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_RAW);
        } else {
            zip_source_t* src = zip_source_buffer(z, e.data.data(), e.data.size(), 0);
            index = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_RAW);
            if (index < 0)
                zip_source_free(src);
            else
                zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        }
        if (index < 0 ||
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(e.mode) << 16) != 0) {
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

// Every file below dir with its contents ("name/" for folders).
std::map<std::string, std::string> Tree(const QString& dir)
{
    std::map<std::string, std::string> tree;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const std::string rel = QDir(dir).relativeFilePath(path).toStdString();
        QFileInfo info(path);
        if (info.isDir()) {
            tree[rel + "/"] = {};
        } else {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            tree[rel] = f.readAll().toStdString();
        }
    }
    return tree;
}

void Write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

TEST(Unpack, TheEncryptedArchiveLandsWhole)
{
    QTemporaryDir target;
    Write(target.path() + "/quenor.bin", "old program\n");
    Write(target.path() + "/keep.txt", "mine\n");
    ASSERT_EQ(UnpackArchive(QUENOR_FIXTURES "/release.zip", target.path().toStdString()), kUnpackOk);
    const std::map<std::string, std::string> expected = {
        {"docs/", {}}, {"docs/notes.txt", "Release 5.3\r\n"}, {"keep.txt", "mine\n"}, {"quenor.bin", "new program\n"}};
    EXPECT_EQ(Tree(target.path()), expected);
}

TEST(Unpack, RefusalsLeaveTheTargetAsItWas)
{
    const std::string big(70000, 'q');
    struct Case {
        const char* what;
        std::vector<ZipEntry> entries;  // empty: the fixture with another password
        int expected;
    };
    const std::vector<Case> cases = {
        {"wrong password", {}, kUnpackPassword},
        {"parent folder", {{"a.txt", "a"}, {"docs/../../evil.txt", "x"}}, kUnpackUnsafeName},
        {"absolute path", {{"/tmp/evil.txt", "x"}}, kUnpackUnsafeName},
        {"backslash", {{"docs\\..\\evil.txt", "x"}}, kUnpackUnsafeName},
        {"drive", {{"c:evil.txt", "x"}}, kUnpackUnsafeName},
        {"symlink", {{"a.txt", "a"}, {"link", "/etc/passwd", 0120777}}, kUnpackSpecialEntry},
        {"corrupt second entry", {{"a.txt", "a"}, {"quenor.bin", "CORRUPTME" + big}, {"c.txt", "c"}}, kUnpackCorrupt},
        {"file where a folder stands", {{"a.txt", "new a"}, {"docs", "not a folder"}}, kUnpackMove},
        // The folders made on the way in, named or only implied by a file's
        // path, go again with the refusal.
        {"new folders, then a file where a folder stands",
         {{"newdir/", "", 040755},
          {"newdir/f.txt", "f"},
          {"a.txt", "new a"},
          {"implied/deeper/g.txt", "g"},
          {"docs/new/h.txt", "h"},
          {"sub", "not a folder"}},
         kUnpackMove},
        {"not an archive", {}, kUnpackBadArchive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir work;
        QTemporaryDir target;
        Write(target.path() + "/a.txt", "old a\n");
        Write(target.path() + "/quenor.bin", "old program\n");
        Write(target.path() + "/docs/notes.txt", "old notes\n");
        ASSERT_TRUE(QDir().mkpath(target.path() + "/sub"));
        const auto before = Tree(target.path());

        QString archive = QUENOR_FIXTURES "/wrongpassword.zip";
        if (std::string(c.what) == "not an archive") {
            archive = work.path() + "/junk.zip";
            Write(archive, "PK\x03\x04 this is no archive");
        } else if (!c.entries.empty()) {
            archive = work.path() + "/test.zip";
            ASSERT_TRUE(MakeZip(archive, c.entries));
            if (std::string(c.what) == "corrupt second entry") {
                QFile f(archive);
                ASSERT_TRUE(f.open(QIODevice::ReadWrite));
                QByteArray bytes = f.readAll();
                const qsizetype at = bytes.indexOf("CORRUPTME");
                ASSERT_GT(at, 0);
                bytes[at] = 'X';
                f.seek(0);
                f.write(bytes);
            }
        }
        EXPECT_EQ(UnpackArchive(archive.toStdString(), target.path().toStdString()), c.expected);
        EXPECT_EQ(Tree(target.path()), before);
    }
}

}  // namespace
}  // namespace quenor
