#include "tools/kxpackage/type_titles.h"

#include <map>

namespace kxpackage {

std::string TypeTitle(const std::string& name) {
  // Android's and iOS's data types side by side in one report: the
  // platform is named where both have one of the kind.
  static const std::map<std::string, std::string> kTitles = {
      {"call_history", "Calls (Android)"},
      {"sms", "SMS and MMS (Android)"},
      {"contacts", "Contacts (Android)"},
      {"whatsapp", "WhatsApp (Android)"},
      {"whatsapp_business", "WhatsApp Business (Android)"},
      {"line", "LINE (Android)"},
      {"ios_call_history", "Calls (iPhone)"},
      {"ios_contacts", "Contacts (iPhone)"},
      {"ios_messages", "Messages (iPhone)"},
      {"safari", "Safari bookmarks"},
      {"safari_history", "Safari history"},
      {"ios_calendar", "Calendar"},
      {"ios_reminders", "Reminders"},
      {"ios_notes", "Notes"},
      {"ios_voicemail", "Voicemail"},
      {"ios_voice_memos", "Voice memos"},
      {"ios_photos", "Photos"},
      {"ios_books", "Books"},
      {"ios_messenger", "Messenger"},
      {"ios_kik", "Kik"},
      {"ios_line", "LINE (iPhone)"},
      {"ios_viber", "Viber"},
      {"ios_wechat", "WeChat"},
      {"ios_music_video", "Music and videos"},
      {"ios_whatsapp", "WhatsApp (iPhone)"},
      {"ios_whatsapp_business", "WhatsApp Business (iPhone)"},
      {"ios_music", "Music"},
      {"ios_video", "Videos"},
      {"ios_kx_photos", "Photos (host index)"},
      {"older_backup", "Older backup"},
  };
  const auto found = kTitles.find(name);
  if (found != kTitles.end()) return found->second;
  // A further store of a type that keeps one per account: "<type>-<store>".
  const size_t dash = name.find('-');
  if (dash == std::string::npos) return name;
  const auto type = kTitles.find(name.substr(0, dash));
  if (type == kTitles.end()) return name;
  return type->second + " (" + name.substr(dash + 1) + ")";
}

}  // namespace kxpackage
