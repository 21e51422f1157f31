#include "sdk/data_type_table.h"

#include <iterator>

#include "android/call_history.h"
#include "android/contacts.h"
#include "android/sms.h"
#include "android/whatsapp.h"
#include "ios/books.h"
#include "ios/call_history.h"
#include "ios/contacts.h"
#include "ios/messages.h"
#include "ios/notes.h"
#include "ios/photos.h"
#include "ios/reminders.h"
#include "ios/safari_bookmarks.h"
#include "ios/safari_history.h"
#include "ios/voice_memos.h"
#include "ios/voicemail.h"
#include "ioschat/ios_whatsapp.h"
#include "ioschat/kik.h"
#include "ioschat/line.h"
#include "ioschat/messenger_contacts.h"
#include "ioschat/viber.h"
#include "ioschat/wechat.h"
#include "pipeline/android_line.h"
#include "pipeline/ios_calendar.h"
#include "pipeline/ios_calendar_old_style.h"
#include "pipeline/ios_kx_photo.h"
#include "pipeline/ios_music_video.h"
#include "pipeline/kx_photo_package.h"
#include "pipeline/music_video_package.h"

namespace kx {

namespace {

#define KX_CODE(x) x
const DataTypeDescriptor kDescriptors[] = {
#include "sdk/data_types.inc"
};
#undef KX_CODE

}  // namespace

DataTypeDescriptors BuiltInDescriptors() { return {kDescriptors, std::size(kDescriptors)}; }

const DataTypeTable& DataTypeTable::BuiltIn() {
  static const DataTypeTable table = [] {
    DataTypeTable built;
    for (const DataTypeDescriptor& descriptor : BuiltInDescriptors()) {
      if (!descriptor.Takes(kFilterCalls)) continue;
      const size_t slot = static_cast<size_t>(descriptor.data_type);
      if (built.rows_.size() <= slot) built.rows_.resize(slot + 1);
      built.rows_[slot] = descriptor.FilterRow();
    }
    return built;
  }();
  return table;
}

const DataTypeEntry* DataTypeTable::Find(int data_type) const {
  if (data_type < 0 || static_cast<size_t>(data_type) >= rows_.size()) return nullptr;
  const std::optional<DataTypeEntry>& row = rows_[static_cast<size_t>(data_type)];
  return row.has_value() ? &*row : nullptr;
}

void DataTypeTable::SetRow(int data_type, const DataTypeEntry& entry) {
  if (Find(data_type) != nullptr) rows_[static_cast<size_t>(data_type)] = entry;
}

bool DataTypeTable::SecondFilesEmpty(DataTypeRecord& record) const {
  const DataTypeEntry* entry = Find(record.data_type);
  if (entry == nullptr) return true;
  for (const char* key : entry->second_keys) {
    if (key == nullptr) continue;
    FileQueue* queue = record.SecondFiles(key);
    if (queue != nullptr && !queue->Empty()) return false;
  }
  return true;
}

const DataTypeEntry* FindDataType(int data_type) {
  return DataTypeTable::BuiltIn().Find(data_type);
}

}  // namespace kx
