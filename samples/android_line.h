// A generator of LINE's Android chat database ("naver_line", in
// /data/data/jp.naver.line.android/databases/), with the app's own tables
// chat, chat_history, contacts, groups and membership.
#ifndef KX_SAMPLES_ANDROID_LINE_H_
#define KX_SAMPLES_ANDROID_LINE_H_

#include <cstdint>
#include <string>

#include "samples/android_sample_options.h"

namespace kx::samples {

// The database's usual file name.
constexpr char kAndroidLineDatabaseName[] = "naver_line";

// The schema script (CREATE TABLE and CREATE INDEX texts) of the five tables
// and android_metadata. Version 1 is the older app (fewer chat, contacts and
// groups columns), 2 the current one.
std::string AndroidLineSchemaSql(int schema_version);

// Messages one scale unit adds.
constexpr int kLineMessagesPerScale = 400;

// How many chats and messages to write; 0 takes the default (12 chats,
// kLineMessagesPerScale * scale messages).
struct LineSampleShape {
  int chat_count = 0;
  int64_t message_count = 0;
};

// Writes a fresh LINE database at `path` (an existing file is replaced):
// one-to-one chats, groups and a room with their members, one chat without
// messages, and messages of every kind the app stores (text, image, voice,
// video, file, location, sticker, contact card, flex and schedule cards,
// posts, album notices, calls, group and room member events, replies) with
// the app's tab-separated parameters. Chat activity is skewed, as on a real
// phone: the busiest chat holds several percent of all messages. Schema
// version 2 keeps the owner's own chat (chat_id = owner_mid); version 1 has
// none, so the owner is known from owner_mid alone. A message keeps its id
// in every copy: the newer copy has lost about one message in seventeen,
// the older copy lacks the newest tenth. False when the file cannot be
// written.
bool WriteAndroidLineDatabase(const std::string& path, const AndroidSampleOptions& options);
bool WriteAndroidLineDatabase(const std::string& path, const AndroidSampleOptions& options,
                              const LineSampleShape& shape);

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_LINE_H_
