// The records of the Android LINE packager: one chat of the chat list and one
// message of a chat, as the detail files and the result document show them.
#ifndef KX_PIPELINE_ANDROID_LINE_RECORDS_H_
#define KX_PIPELINE_ANDROID_LINE_RECORDS_H_

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kx {

// The message a reply answers; empty when there is none or it is not found.
struct LineReply {
  int reply_type = 0;
  std::string reply_content;
  std::string reply_sender;
  std::string reply_thumb;
};

struct LineMessage {
  bool is_fail_to_send = false;  // the message query carries no send status
  bool is_from_me = false;
  int type = 0;  // normalised type (LineMessageType)
  double latitude = 0;
  double longitude = 0;
  double image_height = 0;
  double image_width = 0;
  double file_size = 0;
  double duration = 0;
  std::string uri;
  std::string rely_server_id;  // server id of the message this one answers
  std::string sender;          // empty for the owner's messages
  std::string content;
  std::string create_time;    // local "%Y-%m-%d %H:%M:%S"
  std::string original_time;  // created_time as stored (milliseconds)
  std::string vCard_file;     // path of the written ".vcf" file
  std::string vCard_name;
  std::string subtopic;
  std::string download_url;
  std::string attachment_path;  // device paths
  std::string thumb_path;
  std::string system_info;
  LineReply reply;

  // Not shown in the detail file: the row's id, and its server id after the
  // rule of types 3 and 9 (an empty one becomes "_" + id).
  int64_t id = 0;
  std::string server_id;

  // As a new message, keeping the texts' buffers for the next row.
  void Clear() {
    is_fail_to_send = false;
    is_from_me = false;
    type = 0;
    latitude = longitude = image_height = image_width = file_size = duration = 0;
    for (std::string* text :
         {&uri, &rely_server_id, &sender, &content, &create_time, &original_time, &vCard_file,
          &vCard_name, &subtopic, &download_url, &attachment_path, &thumb_path, &system_info,
          &reply.reply_content, &reply.reply_sender, &reply.reply_thumb, &server_id}) {
      text->clear();
    }
    reply.reply_type = 0;
    id = 0;
  }
};

// A chat's messages: a deque grows without copying what it holds, and
// gives back memory as the writer takes messages off its front.
using LineMessages = std::deque<LineMessage>;

struct LineChat {
  int id = 0;  // running number in the analysis, from 1
  int unread = 0;
  int type = 0;
  int is_notification = 0;
  int is_archived = 0;
  std::string mid;  // chat_id
  std::string session_name;
  std::string last_message;
  std::string last_created_time;
  std::string last_message_time;
  std::vector<std::string> group_member;
  std::vector<std::string> msg_file_list;
  // In message id order; released once written to the chat's detail file.
  LineMessages messages;
};

}  // namespace kx

#endif  // KX_PIPELINE_ANDROID_LINE_RECORDS_H_
