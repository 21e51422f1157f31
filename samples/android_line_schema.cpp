// The tables of LINE's chat database, as the app creates them.
#include <string>

#include "samples/android_line.h"

namespace kx::samples {

namespace {

// ---------------------------------------------------------------------------
// The app's tables

constexpr char kMetadataSql[] =
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('ja_JP');";

constexpr char kChatV1Sql[] =
    "CREATE TABLE chat (chat_id TEXT PRIMARY KEY, chat_name TEXT, owner_mid TEXT, last_from_mid "
    "TEXT, last_message TEXT, last_created_time TEXT, message_count INTEGER, read_message_count "
    "INTEGER, latest_mentioned_position INTEGER, type INTEGER, is_notification INTEGER, skin_key "
    "TEXT, input_text TEXT, input_text_metadata TEXT, hide_member INTEGER, p_timer INTEGER, "
    "last_message_display_time TEXT, mid_p TEXT, is_archived INTEGER, read_up TEXT, "
    "is_groupcalling INTEGER, latest_announcement_seq INTEGER, announcement_view_status INTEGER, "
    "last_message_meta_data TEXT);";

constexpr char kChatV2Sql[] =
    "CREATE TABLE chat (chat_id TEXT PRIMARY KEY, chat_name TEXT, owner_mid TEXT, last_from_mid "
    "TEXT, last_message TEXT, last_created_time TEXT, message_count INTEGER, read_message_count "
    "INTEGER, latest_mentioned_position INTEGER, type INTEGER, is_notification INTEGER, skin_key "
    "TEXT, input_text TEXT, input_text_metadata TEXT, hide_member INTEGER, p_timer INTEGER, "
    "last_message_display_time TEXT, mid_p TEXT, is_archived INTEGER, read_up TEXT, "
    "is_groupcalling INTEGER, latest_announcement_seq INTEGER, announcement_view_status INTEGER, "
    "last_message_meta_data TEXT, chat_room_bgm_data TEXT, chat_room_bgm_checked INTEGER, "
    "chat_room_should_show_bgm_badge INTEGER, unread_type_and_count TEXT);";

constexpr char kChatHistorySql[] =
    "CREATE TABLE chat_history (id INTEGER PRIMARY KEY AUTOINCREMENT, server_id TEXT, type "
    "INTEGER, chat_id TEXT, from_mid TEXT, content TEXT, created_time TEXT, delivered_time TEXT, "
    "status INTEGER, sent_count INTEGER, read_count INTEGER, location_name TEXT, location_address "
    "TEXT, location_phone TEXT, location_latitude INTEGER, location_longitude INTEGER, "
    "attachement_image INTEGER, attachement_image_height INTEGER, attachement_image_width "
    "INTEGER, attachement_image_size INTEGER, attachement_type INTEGER, attachement_local_uri "
    "TEXT, parameter TEXT, chunks BLOB);";

constexpr char kContactsV1Sql[] =
    "CREATE TABLE contacts (m_id TEXT PRIMARY KEY, contact_id TEXT, contact_key TEXT, name TEXT, "
    "phonetic_name TEXT, server_name TEXT, addressbook_name TEXT, custom_name TEXT, status_msg "
    "TEXT, is_unread_status_msg INTEGER, picture_status TEXT, picture_path TEXT, relation "
    "INTEGER, status INTEGER, is_first INTEGER, display_type INTEGER, capable_flags INTEGER, "
    "contact_kind INTEGER, contact_type INTEGER, buddy_category INTEGER, buddy_icon_type INTEGER, "
    "is_on_air INTEGER, hidden INTEGER, favorite INTEGER, added_time_to_friend INTEGER, "
    "updated_time INTEGER, created_time INTEGER, recommend_params TEXT, profile_music TEXT, "
    "profile_update_highlight_time INTEGER, contact_sync_request_time INTEGER, on_air_label "
    "INTEGER, video_profile TEXT, schema_ver INTEGER, status_msg_meta_data TEXT);";

constexpr char kContactsV2Sql[] =
    "CREATE TABLE contacts (m_id TEXT PRIMARY KEY, contact_id TEXT, contact_key TEXT, name TEXT, "
    "phonetic_name TEXT, server_name TEXT, addressbook_name TEXT, custom_name TEXT, status_msg "
    "TEXT, is_unread_status_msg INTEGER, picture_status TEXT, picture_path TEXT, relation "
    "INTEGER, status INTEGER, is_first INTEGER, capable_flags INTEGER, contact_kind INTEGER, "
    "contact_type INTEGER, buddy_category INTEGER, buddy_icon_type INTEGER, is_on_air INTEGER, "
    "hidden INTEGER, favorite INTEGER, updated_time INTEGER, created_time INTEGER NOT NULL, "
    "recommend_params TEXT, profile_music TEXT, profile_update_highlight_time INTEGER, "
    "contact_sync_request_time INTEGER, on_air_label INTEGER, video_profile TEXT, schema_ver "
    "INTEGER, status_msg_meta_data TEXT, avatar_profile_info TEXT, friend_ringtone TEXT, "
    "friend_ringbacktone TEXT, nft_profile INTEGER, picture_source INTEGER);";

constexpr char kGroupsV1Sql[] =
    "CREATE TABLE groups (id TEXT PRIMARY KEY, name TEXT, picture_status TEXT, creator TEXT, "
    "status INTEGER, is_first INTEGER, display_type INTEGER, accepted_invitation_time INTEGER, "
    "highlight_time INTEGER, updated_time INTEGER, created_time INTEGER, "
    "prevented_joinby_ticket INTEGER, invitation_ticket TEXT, favorite_timestamp INTEGER);";

constexpr char kGroupsV2Sql[] =
    "CREATE TABLE groups (\n"
    "            id TEXT PRIMARY KEY,\n"
    "            name TEXT,\n"
    "            picture_status TEXT,\n"
    "            creator TEXT,\n"
    "            status INTEGER,\n"
    "            is_first INTEGER,\n"
    "            display_type INTEGER,\n"
    "            accepted_invitation_time INTEGER,\n"
    "            updated_time INTEGER,\n"
    "            created_time INTEGER NOT NULL,\n"
    "            prevented_joinby_ticket INTEGER DEFAULT 0,\n"
    "            invitation_ticket TEXT,\n"
    "            favorite_timestamp INTEGER DEFAULT 0,\n"
    "            invitation_enabled INTEGER NOT NULL,\n"
    "            can_add_member_as_friend INTEGER NOT NULL,\n"
    "            can_invite_by_ticket INTEGER NOT NULL,\n"
    "            is_auto_name INTEGER NOT NULL DEFAULT 0\n"
    "        );"
    "CREATE INDEX IDX_GROUPS_STATUS_NAME_NOCASE ON groups (status, name collate nocase asc);"
    "CREATE INDEX IDX_GROUPS_STATUS_IS_FIRST ON groups (status, is_first);";

constexpr char kMembershipSql[] =
    "CREATE TABLE membership (\n"
    "            id TEXT NOT NULL,\n"
    "            m_id TEXT NOT NULL,\n"
    "            is_accepted INTEGER NOT NULL,\n"
    "            updated_time INTEGER NOT NULL,\n"
    "            created_time INTEGER NOT NULL,\n"
    "            PRIMARY KEY(id, m_id)\n"
    "        );"
    "CREATE INDEX IDX_MEMBERSHIP_ID_MID_ACCEPTED ON membership (id, m_id, is_accepted ASC);";

}  // namespace

std::string AndroidLineSchemaSql(int schema_version) {
  const bool newer = schema_version >= 2;
  std::string sql = kMetadataSql;
  sql += newer ? kChatV2Sql : kChatV1Sql;
  sql += kChatHistorySql;
  sql += newer ? kContactsV2Sql : kContactsV1Sql;
  sql += newer ? kGroupsV2Sql : kGroupsV1Sql;
  sql += kMembershipSql;
  return sql;
}

}  // namespace kx::samples
