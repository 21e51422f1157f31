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
  return found == kTitles.end() ? name : found->second;
}

}  // namespace kxpackage
