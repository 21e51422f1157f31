#include "common/backup_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/platform.h"
#include "common/sha1.h"
#include "common/status.h"
#include "test_support.h"

namespace kx {
namespace {

using test::RunSql;
using test::TempDir;

// FIPS 180 examples, plus lengths around the padding edges: 55 bytes still
// fit the length field into the last block, 56 need a second one, 64 fill a
// block exactly. Digests of the edge lengths from sha1sum.
TEST(Sha1Test, StandardVectorsAndPaddingEdges) {
  const struct {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(55, 'x'), "cef734ba81a024479e09eb5a75b6ddae62e6abf1"},
      {std::string(56, 'x'), "901305367c259952f4e7af8323f480d59f81335b"},
      {std::string(63, 'x'), "0ddc4e0cccd9a12850deb5abb0853a4425559fec"},
      {std::string(64, 'x'), "bb2fa3ee7afb9f54c6dfb5d021f14b1ffe40c163"},
      {std::string(65, 'x'), "78c741ddc482e4cdf8c474a0876347a0905b6233"},
      {std::string(119, 'x'), "4300320394f7ee239bcdce7d3b8bcee173a0cd5c"},
      {std::string(120, 'x'), "ceb2821639c4b6dcb10bce0e522ca2e608ce056d"},
      {std::string(128, 'x'), "150fa3fbdc899bd0b8f95a9fb6027f564d953762"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  // The processor's SHA extensions, where it has them, and the portable steps.
  for (const Sha1Steps steps : {Sha1Steps::kFastest, Sha1Steps::kPortable}) {
    for (const auto& c : cases) {
      EXPECT_EQ(c.digest, Sha1Hex(c.input, steps)) << c.input.size() << " bytes";
    }
  }
}

TEST(Sha1Test, PiecesGiveTheDigestOfTheWhole) {
  const std::string text(1000, 'q');
  for (const size_t cut : {1u, 55u, 63u, 64u, 65u, 999u}) {
    Sha1 pieces;
    pieces.Update(std::string_view(text).substr(0, cut));
    pieces.Update(std::string_view(text).substr(cut));
    Sha1 whole;
    whole.Update(text);
    EXPECT_EQ(whole.Finish(), pieces.Finish()) << cut;
  }
}

TEST(BackupFilesTest, FileIdsOfKnownStores) {
  EXPECT_EQ("5a4935c78a5255723f707230a451d79c540d2741",
            BackupFileId("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata"));
  EXPECT_EQ("31bb7ba8914766d4ba40d6dfb6113c8b614be442",
            BackupFileId("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"));
  EXPECT_EQ("3d0d7e5fb2ce288813306e4d4636395e047a3d28",
            BackupFileId("HomeDomain", "Library/SMS/sms.db"));
  // The dash is always there.
  EXPECT_EQ("70765829101933f25994c71bbee6dfd685535bff", BackupFileId("HomeDomain", ""));
}

TEST(BackupFilesTest, BothLayoutsAndBadInput) {
  TempDir flat, nested;
  const std::string id = BackupFileId("HomeDomain", "Library/SMS/sms.db");
  std::filesystem::create_directory(nested.File(id.substr(0, 2)));
  EXPECT_EQ(flat.File(id), ResolveBackupFile(flat.path(), id));
  EXPECT_EQ(JoinPath(nested.File("3d"), id), ResolveBackupFile(nested.path(), id));
  EXPECT_EQ(flat.File("a"), BackupFilePath(flat.path(), "a", false));
  EXPECT_EQ(JoinPath(flat.File("a"), "a"), BackupFilePath(flat.path(), "a", true));

  EXPECT_EQ("", ResolveBackupFile(flat.path(), "../../etc/passwd"));
  EXPECT_EQ("", ResolveBackupFile(flat.path(), std::string(40, 'G')));
  EXPECT_EQ("", ResolveBackupFile(flat.File("missing"), id));
}

TEST(BackupFilesTest, StoredFilesThatLeadOutOfTheBackupAreNotFollowed) {
  TempDir backup, elsewhere;
  const std::string outside = BackupFileId("HomeDomain", "Library/SMS/sms.db");
  const std::string inside = BackupFileId("HomeDomain", "Library/Notes/notes.sqlite");
  test::WriteFileBytes(elsewhere.File("secret"), "theirs");
  test::WriteFileBytes(backup.File("kept"), "ours");
  std::error_code error;
  std::filesystem::create_symlink(elsewhere.File("secret"), backup.File(outside), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  std::filesystem::create_symlink("kept", backup.File(inside));
  EXPECT_EQ("", ResolveBackupFile(backup.path(), outside));
  EXPECT_EQ(backup.File(inside), ResolveBackupFile(backup.path(), inside));
  // A sub-folder that is itself a link out.
  const std::string nested = BackupFileId("HomeDomain", "Library/Safari/History.db");
  std::filesystem::create_directory_symlink(elsewhere.path(), backup.File(nested.substr(0, 2)));
  EXPECT_EQ("", ResolveBackupFile(backup.path(), nested));
  // In a real sub-folder: a plain file, a missing one, a link out.
  const std::string plain = BackupFileId("HomeDomain", "Library/Notes/f0.jpg");
  const std::string missing = BackupFileId("HomeDomain", "Library/Notes/f234.jpg");
  const std::string linked = BackupFileId("HomeDomain", "Library/Notes/f454.jpg");
  ASSERT_EQ(plain.substr(0, 2), missing.substr(0, 2));
  ASSERT_EQ(plain.substr(0, 2), linked.substr(0, 2));
  std::filesystem::create_directory(backup.File(plain.substr(0, 2)));
  test::WriteFileBytes(BackupFilePath(backup.path(), plain, true), "ours");
  std::filesystem::create_symlink(elsewhere.File("secret"),
                                  BackupFilePath(backup.path(), linked, true));
  // Many files of one backup, its folders looked up once: the same answers,
  // also where the backup is named through a link to its folder.
  const std::string root_link = elsewhere.File("backup");
  std::filesystem::create_directory_symlink(backup.path(), root_link);
  // Asked often enough, a folder is listed rather than looked at file by
  // file: the answers stay the same.
  for (const std::string& root : {backup.path(), root_link}) {
    BackupFileResolver resolver(root);
    for (int pass = 0; pass < 20; ++pass) {
      for (const std::string& id :
           {outside, inside, nested, plain, missing, linked, plain, nested}) {
        EXPECT_EQ(ResolveBackupFile(root, id), resolver.Resolve(id)) << root << " " << id;
      }
    }
  }
  BackupFileResolver resolver(backup.path());
  EXPECT_EQ("", resolver.Resolve(linked));
  EXPECT_EQ(BackupFilePath(backup.path(), missing, true), resolver.Resolve(missing));
}

class BackupCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Manifest.db as iOS 10 and later write it.
    RunSql(manifest_, test::DataFile("ios_backup/manifest_files.sql"));
  }

  TempDir dir_;
  const std::string manifest_ = dir_.File("Manifest.db");
};

TEST_F(BackupCatalogueTest, LookUpsBindWhatTheyAreGiven) {
  BackupCatalogue catalogue(manifest_);
  ASSERT_EQ(kStatusOk, catalogue.Open("test"));
  // The shortest ordinary file wins; folders (flags 2) never match, nor does
  // a name the "_" would stand for as a wildcard.
  EXPECT_EQ("id-short", catalogue.FileIdByPathFragment("IMG_0001.JPG"));
  EXPECT_EQ("id-quote", catalogue.FileIdByPath("HomeDomain", "Library/it's.db"));
  EXPECT_EQ("id-quote", catalogue.FileIdByPathFragment("it's"));
  EXPECT_EQ("id-kik",
            catalogue.FileIdByPattern("AppDomainGroup-group.com.kik.chat", "cores/private/%"));
  // A fragment that would end the literal early finds nothing and harms nothing.
  EXPECT_EQ("", catalogue.FileIdByPathFragment("' or 1=1 --"));
  EXPECT_EQ("", catalogue.FileIdByPath("HomeDomain", "Library/SMS/IMG_0001.JPG"));
}

TEST_F(BackupCatalogueTest, DamagedOrForeignCatalogueIsAStatus) {
  RunSql(dir_.File("other.db"), "CREATE TABLE t (x);");
  test::WriteFileBytes(dir_.File("garbage.db"), std::string(4096, 'g'));
  for (const std::string& path :
       {dir_.File("other.db"), dir_.File("garbage.db"), dir_.File("absent.db")}) {
    BackupCatalogue catalogue(path);
    EXPECT_EQ(kStatusOpenFailed, catalogue.Open("test")) << path;
    EXPECT_EQ("", catalogue.FileIdByPathFragment("x"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent.db")));
}

}  // namespace
}  // namespace kx
