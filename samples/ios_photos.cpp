#include "samples/ios_photos.h"

#include <cstdint>
#include <string>
#include <vector>

#include "samples/android_sample_sqlite.h"
#include "samples/sample_pictures.h"

namespace kx::samples {

namespace {

// Table definitions as open readers of iOS backups print them (the asset
// table of iOS 11 as a public write-up lists it; later systems add, rename
// and drop columns as forensic write-ups of their libraries show).
constexpr char kAssetColumnsOld[] =
    "Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZAVALANCHEPICKTYPE INTEGER, "
    "ZCLOUDDOWNLOADREQUESTS INTEGER, ZCLOUDHASCOMMENTSBYME INTEGER, "
    "ZCLOUDHASCOMMENTSCONVERSATION INTEGER, ZCLOUDHASUNSEENCOMMENTS INTEGER, "
    "ZCLOUDISDELETABLE INTEGER, ZCLOUDISMYASSET INTEGER, ZCLOUDLOCALSTATE INTEGER, "
    "ZCLOUDPLACEHOLDERKIND INTEGER, ZCOMPLETE INTEGER, ZCUSTOMRENDEREDVALUE INTEGER, "
    "ZDEPTHSTATES INTEGER, ZFACEAREAPOINTS INTEGER, ZFAVORITE INTEGER, ZGROUPINGSTATE INTEGER, "
    "ZHASADJUSTMENTS INTEGER, ZHEIGHT INTEGER, ZHIDDEN INTEGER, ZKIND INTEGER, ZKINDSUBTYPE "
    "INTEGER, ZLOCALRESOURCESSTATE INTEGER, ZORIENTATION INTEGER, ZPLAYBACKSTYLE INTEGER, "
    "ZPLAYBACKVARIATION INTEGER, ZSAVEDASSETTYPE INTEGER, ZTHUMBNAILINDEX INTEGER, "
    "ZTRASHEDSTATE INTEGER, ZVIDEOCPDURATIONVALUE INTEGER, ZVIDEOCPVISIBILITYSTATE INTEGER, "
    "ZVISIBILITYSTATE INTEGER, ZWIDTH INTEGER, ZADDITIONALATTRIBUTES INTEGER, "
    "ZCLOUDFEEDASSETSENTRY INTEGER, ZMASTER INTEGER, ZMOMENT INTEGER, ZSEARCHDATA INTEGER, "
    "Z_FOK_CLOUDFEEDASSETSENTRY INTEGER, Z_FOK_MOMENT INTEGER, ZADDEDDATE TIMESTAMP, "
    "ZADJUSTMENTTIMESTAMP TIMESTAMP, ZCLOUDBATCHPUBLISHDATE TIMESTAMP, "
    "ZCLOUDLASTVIEWEDCOMMENTDATE TIMESTAMP, ZCLOUDSERVERPUBLISHDATE TIMESTAMP, ZCURATIONSCORE "
    "FLOAT, ZDATECREATED TIMESTAMP, ZDURATION FLOAT, ZFACEADJUSTMENTVERSION TIMESTAMP, "
    "ZLASTSHAREDDATE TIMESTAMP, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZMODIFICATIONDATE TIMESTAMP, "
    "%SORT%ZTRASHEDDATE TIMESTAMP, ZAVALANCHEUUID VARCHAR, ZCLOUDASSETGUID VARCHAR, "
    "ZCLOUDBATCHID VARCHAR, ZCLOUDCOLLECTIONGUID VARCHAR, ZCLOUDOWNERHASHEDPERSONID VARCHAR, "
    "ZDIRECTORY VARCHAR, ZFILENAME VARCHAR, ZGROUPINGUUID VARCHAR, ZMEDIAGROUPUUID VARCHAR, "
    "ZORIGINALCOLORSPACE VARCHAR, ZUNIFORMTYPEIDENTIFIER VARCHAR, ZUUID VARCHAR, ZLOCATIONDATA "
    "BLOB, ZIMAGEURLDATA BLOB, ZTHUMBNAILURLDATA BLOB, ZWALLPAPEROPTIONSDATA BLOB";
// Added by iOS 13 (and kept by the renamed table).
constexpr char kAssetColumns13[] =
    ", ZHDRTYPE INTEGER, ZPACKEDACCEPTABLECROPRECT INTEGER, ZPACKEDPREFERREDCROPRECT INTEGER, "
    "ZHIGHFRAMERATESTATE INTEGER, ZANALYSISSTATEMODIFICATIONDATE TIMESTAMP";
// Added by iOS 14 and 15.
constexpr char kAssetColumns14[] =
    ", ZCLOUDDELETESTATE INTEGER, ZSYNDICATIONSTATE INTEGER, ZDUPLICATEASSETVISIBILITYSTATE "
    "INTEGER, ZIMPORTEDBY INTEGER, ZADJUSTMENTSSTATE INTEGER";
// Added by iOS 16.
constexpr char kAssetColumns16[] =
    ", ZDEPTHTYPE INTEGER, ZDERIVEDCAMERACAPTUREDEVICE INTEGER, ZISDETECTEDSCREENSHOT INTEGER, "
    "ZACTIVELIBRARYSCOPEPARTICIPATIONSTATE INTEGER, ZLIBRARYSCOPE INTEGER";

constexpr char kExtraAttributes[] =
    "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT "
    "INTEGER, ZALLOWEDFORANALYSIS INTEGER, ZCAMERACAPTUREDEVICE INTEGER, "
    "ZEMBEDDEDTHUMBNAILHEIGHT INTEGER, ZEMBEDDEDTHUMBNAILLENGTH INTEGER, "
    "ZEMBEDDEDTHUMBNAILOFFSET INTEGER, ZEMBEDDEDTHUMBNAILWIDTH INTEGER, ZORIGINALFILESIZE "
    "INTEGER, ZORIGINALHEIGHT INTEGER, ZORIGINALORIENTATION INTEGER, ZORIGINALWIDTH INTEGER, "
    "ZTIMEZONEOFFSET INTEGER, ZASSET INTEGER, ZGPSHORIZONTALACCURACY FLOAT, "
    "ZEXIFTIMESTAMPSTRING VARCHAR, ZORIGINALFILENAME VARCHAR, ZTIMEZONENAME VARCHAR, ZTITLE "
    "VARCHAR, ZORIGINALHASH BLOB, ZREVERSELOCATIONDATA BLOB);"
    "CREATE INDEX ZADDITIONALASSETATTRIBUTES_ZASSET_INDEX ON ZADDITIONALASSETATTRIBUTES (ZASSET);";

constexpr char kAlbums[] =
    "CREATE TABLE ZGENERICALBUM (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, "
    "ZCLOUDLOCALSTATE INTEGER, ZCLOUDNOTIFICATIONSENABLED INTEGER, ZKIND INTEGER, "
    "ZPENDINGITEMSCOUNT INTEGER, ZPENDINGITEMSTYPE INTEGER, ZTRASHEDSTATE INTEGER, ZKEYASSET "
    "INTEGER, ZPARENTFOLDER INTEGER, Z_FOK_PARENTFOLDER INTEGER, ZCREATIONDATE TIMESTAMP, "
    "ZTRASHEDDATE TIMESTAMP, ZCLOUDGUID VARCHAR, ZIMPORTSESSIONID VARCHAR, ZTITLE VARCHAR, ZUUID "
    "VARCHAR, ZCUSTOMQUERYPARAMETERS BLOB);"
    "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, "
    "Z_MAX INTEGER);"
    "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);";

const IosPhotosJoin kJoins[] = {
    {"Z_23ASSETS", "Z_23ALBUMS", "Z_34ASSETS"},
    {"Z_26ASSETS", "Z_26ALBUMS", "Z_34ASSETS"},
    {"Z_26ASSETS", "Z_26ALBUMS", "Z_3ASSETS"},
    {"Z_28ASSETS", "Z_28ALBUMS", "Z_3ASSETS"},
};

int Version(int schema_version) {
  return schema_version < kIosPhotosOldestSchema || schema_version > kIosPhotosNewestSchema
             ? kIosPhotosNewestSchema
             : schema_version;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct Asset {
  int pk;
  const char* file;
  int kind;
  int kind_subtype;
  int saved_type;
  double date;  // seconds from 2001
  double duration;
  double latitude;
  double longitude;
  int hidden;
  int trashed;
  int favorite;
  int adjusted;
  const char* uniform_type;
  const char* original_name;
  int size;
};

constexpr Asset kAssets[] = {
    {1, "IMG_0001.HEIC", 0, 2, 3, 726000000, 0, 38.7223, -9.1393, 0, 0, 1, 0, "public.heic",
     "IMG_0001.HEIC", 1843211},
    {2, "IMG_0002.JPG", 0, 0, 3, 726003600, 0, 41.1579, -8.6291, 0, 0, 0, 1, "public.jpeg",
     "IMG_0002.JPG", 2204511},
    {3, "IMG_0003.MOV", 1, 0, 3, 726007200, 12.5, -180, -180, 0, 0, 0, 0,
     "com.apple.quicktime-movie", "IMG_0003.MOV", 9121004},
    {4, "IMG_0004.HEIC", 0, 0, 3, 726010800, 0, -180, -180, 1, 0, 0, 0, "public.heic",
     "IMG_0004.HEIC", 1520331},
    {5, "IMG_0005.JPG", 0, 0, 3, 726014400, 0, -180, -180, 0, 1, 0, 0, "public.jpeg",
     "IMG_0005.JPG", 998310},
    {6, "IMG_0006.PNG", 0, 10, 3, 726018000, 0, -180, -180, 0, 0, 0, 0, "public.png",
     "IMG_0006.PNG", 301877},
};

struct Album {
  int pk;
  const char* title;
  const char* uuid;
  std::vector<int> assets;
};

const Album kSampleAlbums[] = {
    {11, "Holiday", "5A1E3C0D-93B2-4F5A-8C1B-0D8E2F7A6B21", {1, 2, 3}},
    {12, "Family", "C3D2E1F0-1A2B-4C3D-9E8F-7A6B5C4D3E2F", {2}},
};

constexpr char kDirectory[] = "DCIM/100APPLE";

bool InsertAsset(SampleStatement* asset, SampleStatement* extra, const Asset& a,
                 const std::string& directory) {
  asset->BindInt(1, a.pk);
  asset->BindInt(2, a.kind);
  asset->BindInt(3, a.kind_subtype);
  asset->BindInt(4, a.saved_type);
  asset->BindDouble(5, a.date);
  if (a.kind == 1) {
    asset->BindDouble(6, a.duration);
  } else {
    asset->BindDouble(6, 0.0);
  }
  asset->BindDouble(7, a.latitude);
  asset->BindDouble(8, a.longitude);
  asset->BindInt(9, a.hidden);
  asset->BindInt(10, a.trashed);
  asset->BindInt(11, a.favorite);
  asset->BindInt(12, a.adjusted);
  asset->BindText(13, a.uniform_type);
  asset->BindText(14, directory);
  asset->BindText(15, a.file);
  asset->BindText(16, "A" + std::to_string(100000 + a.pk) + "-0000-4000-8000-000000000000");
  if (asset->Step() != SQLITE_DONE) return false;
  asset->Reset();
  extra->BindInt(1, a.pk);
  extra->BindText(2, a.original_name);
  extra->BindInt(3, a.size);
  if (extra->Step() != SQLITE_DONE) return false;
  extra->Reset();
  return true;
}

std::string AssetInsertSql(int version) {
  const char* table = IosPhotosHasAssetTable(version) ? "ZASSET" : "ZGENERICASSET";
  const char* date = version >= 4 ? "ZDATECREATED" : "ZSORTTOKEN";
  return std::string("INSERT INTO ") + table +
         " (Z_PK, Z_ENT, Z_OPT, ZKIND, ZKINDSUBTYPE, ZSAVEDASSETTYPE, " + date +
         ", ZDURATION, ZLATITUDE, ZLONGITUDE, ZHIDDEN, ZTRASHEDSTATE, ZFAVORITE, "
         "ZHASADJUSTMENTS, ZUNIFORMTYPEIDENTIFIER, ZDIRECTORY, ZFILENAME, ZUUID, "
         "ZADDITIONALATTRIBUTES, ZAVALANCHEPICKTYPE, ZPLAYBACKSTYLE) VALUES (?1, 3, 1, ?2, ?3, ?4, "
         "?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?1, 0, 1)";
}

constexpr char kExtraInsertSql[] =
    "INSERT INTO ZADDITIONALASSETATTRIBUTES (Z_PK, Z_ENT, Z_OPT, ZASSET, ZORIGINALFILENAME, "
    "ZORIGINALFILESIZE) VALUES (?1, 1, 1, ?1, ?2, ?3)";

bool InsertAlbums(sqlite3* db, int version, const std::vector<Album>& albums) {
  const IosPhotosJoin join = IosPhotosJoinTable(version);
  SampleStatement album(db,
                        "INSERT INTO ZGENERICALBUM (Z_PK, Z_ENT, Z_OPT, ZKIND, ZTRASHEDSTATE, "
                        "ZTITLE, ZUUID) VALUES (?, 26, 1, 2, 0, ?, ?)");
  const std::string member_sql = std::string("INSERT INTO ") + join.table + " (" +
                                 join.album_column + ", " + join.asset_column + ", Z_FOK_" +
                                 (join.asset_column + 2) + ") VALUES (?, ?, ?)";
  SampleStatement member(db, member_sql.c_str());
  if (!album.prepared() || !member.prepared()) return false;
  for (const Album& a : albums) {
    album.BindInt(1, a.pk);
    album.BindText(2, a.title);
    album.BindText(3, a.uuid);
    if (album.Step() != SQLITE_DONE) return false;
    album.Reset();
    int order = 0;
    for (const int asset : a.assets) {
      member.BindInt(1, a.pk);
      member.BindInt(2, asset);
      member.BindInt(3, 1024 * ++order);
      if (member.Step() != SQLITE_DONE) return false;
      member.Reset();
    }
  }
  return true;
}

// The bytes of an asset's file: a real JPEG or PNG picture; a HEIC or a
// movie is only its container's first box (browsers show neither, so the
// report shows them through their thumbnails).
std::string AssetBytes(const Asset& a) {
  const std::string type = a.uniform_type;
  if (type == "public.jpeg") return SampleJpeg(static_cast<uint64_t>(a.pk), 96, 72);
  if (type == "public.png") return SamplePng(static_cast<uint64_t>(a.pk), 96, 72);
  const bool heic = type == "public.heic";
  const std::string brand = heic ? "heic" : "qt  ";
  std::string size(4, '\0');
  size[3] = 24;  // the box's, big-endian
  return size + "ftyp" + brand + std::string(4, '\0') + brand + (heic ? "mif1" : "qt  ");
}

void AddMediaFiles(std::vector<IosPhotoFile>* files) {
  files->push_back({kIosThumbConfigPath, IosThumbnailConfiguration(kIosSampleThumbFormat)});
  for (const Asset& a : kAssets) {
    const std::string relative = std::string(kDirectory) + "/" + a.file;
    files->push_back({"Media/" + relative, AssetBytes(a)});
    files->push_back({"Media/PhotoData/Thumbnails/V2/" + relative + "/" +
                          std::to_string(kIosSampleThumbFormat) + ".JPG",
                      SampleJpeg(100 + static_cast<uint64_t>(a.pk))});
  }
  files->push_back(
      {"Media/PhotoData/Mutations/DCIM/100APPLE/IMG_0002/Adjustments/FullSizeRender.jpg",
       SampleJpeg(200, 96, 72)});
}

// The statements are finalized on return, before the file is closed.
bool InsertSampleAssets(sqlite3* db, int version) {
  SampleStatement asset(db, AssetInsertSql(version).c_str());
  SampleStatement extra(db, kExtraInsertSql);
  if (!asset.prepared() || !extra.prepared()) return false;
  for (const Asset& a : kAssets) {
    if (!InsertAsset(&asset, &extra, a, kDirectory)) return false;
  }
  return true;
}

// `albums` receives each asset's membership.
bool InsertLibraryAssets(sqlite3* db, int version, int assets, std::vector<Album>* albums) {
  SampleStatement asset(db, AssetInsertSql(version).c_str());
  SampleStatement extra(db, kExtraInsertSql);
  if (!asset.prepared() || !extra.prepared()) return false;
  for (int i = 0; i < assets; ++i) {
    const Asset& model = kAssets[i % (sizeof kAssets / sizeof kAssets[0])];
    Asset a = model;
    a.pk = i + 1;
    a.date = model.date + i * 60.0;
    const std::string file = "IMG_" + std::to_string(100000 + i) + (a.kind == 1 ? ".MOV" : ".HEIC");
    a.file = file.c_str();
    a.original_name = file.c_str();
    const std::string directory = "DCIM/" + std::to_string(100 + i / 1000) + "APPLE";
    if (!InsertAsset(&asset, &extra, a, directory)) return false;
    if (!albums->empty()) (*albums)[i % albums->size()].assets.push_back(i + 1);
  }
  return true;
}

}  // namespace

std::string IosPhotosSql(int schema_version) {
  const int version = Version(schema_version);
  std::string columns =
      Replace(kAssetColumnsOld, "%SORT%", version >= 4 ? "" : "ZSORTTOKEN FLOAT, ");
  if (version >= 2) columns += kAssetColumns13;
  if (version >= 3) columns += kAssetColumns14;
  if (version >= 4) columns += kAssetColumns16;
  const char* table = IosPhotosHasAssetTable(version) ? "ZASSET" : "ZGENERICASSET";
  const IosPhotosJoin join = IosPhotosJoinTable(version);
  const std::string asset_key = join.asset_column + 2;  // "34ASSETS" / "3ASSETS"
  return std::string("CREATE TABLE ") + table + " (" + columns + ");" + "CREATE INDEX " + table +
         "_ZDIRECTORY_ZFILENAME ON " + table + " (ZDIRECTORY, ZFILENAME);" + kExtraAttributes +
         kAlbums + "CREATE TABLE " + join.table + " (" + join.album_column + " INTEGER, " +
         join.asset_column + " INTEGER, Z_FOK_" + asset_key + " INTEGER, PRIMARY KEY (" +
         join.album_column + ", " + join.asset_column + "));" + "CREATE INDEX " + join.table + "_" +
         join.asset_column + "_INDEX ON " + join.table + " (" + join.asset_column + ", " +
         join.album_column + ");";
}

bool IosPhotosHasAssetTable(int schema_version) { return Version(schema_version) >= 3; }

IosPhotosJoin IosPhotosJoinTable(int schema_version) { return kJoins[Version(schema_version) - 1]; }

std::string IosThumbnailConfiguration(int format) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n"
         "\t<key>PLThumbnailManagerThumbnailFormatKey</key>\n\t<integer>" +
         std::to_string(format) +
         "</integer>\n"
         "\t<key>PLThumbnailManagerVersionKey</key>\n\t<integer>2</integer>\n"
         "</dict>\n</plist>\n";
}

bool WriteIosPhotos(const std::string& path, const IosSampleOptions& options,
                    std::vector<IosPhotoFile>* files) {
  const int version =
      Version(options.schema_version == 0 ? kIosPhotosNewestSchema : options.schema_version);
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosPhotosSql(version).c_str())) return false;
  if (!InsertSampleAssets(db.handle(), version)) return false;
  const std::vector<Album> albums(std::begin(kSampleAlbums), std::end(kSampleAlbums));
  if (!InsertAlbums(db.handle(), version, albums)) return false;
  if (files != nullptr) AddMediaFiles(files);
  return db.Close();
}

bool WriteIosPhotoLibrary(const std::string& path, int schema_version, int assets,
                          int album_count) {
  const int version = Version(schema_version);
  SampleDatabase db(path);
  if (!db.is_open() || !db.Exec(IosPhotosSql(version).c_str())) return false;
  db.Exec("BEGIN");
  std::vector<Album> albums;
  std::vector<std::string> album_text(static_cast<size_t>(album_count));
  std::vector<std::string> album_uuid(static_cast<size_t>(album_count));
  for (int a = 0; a < album_count; ++a) {
    album_text[a] = "Album " + std::to_string(a + 1);
    album_uuid[a] = "B" + std::to_string(1000000 + a) + "-0000-4000-8000-000000000000";
    albums.push_back({1000000 + a, album_text[a].c_str(), album_uuid[a].c_str(), {}});
  }
  if (!InsertLibraryAssets(db.handle(), version, assets, &albums)) return false;
  if (!InsertAlbums(db.handle(), version, albums)) return false;
  db.Exec("COMMIT");
  return db.Close();
}

}  // namespace kx::samples
