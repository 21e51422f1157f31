#include "pipeline/android_line_details.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/platform.h"
#include "pipeline/android_line_storage.h"

namespace kx {

LineDetailTexts::LineDetailTexts(std::string folder, size_t chats, size_t memory_limit)
    : folder_(std::move(folder)), memory_limit_(memory_limit) {
  // A chat's text and writer come with its first message: many chats have
  // none.
  chats_.resize(chats);
}

LineDetailTexts::~LineDetailTexts() {
  for (size_t i = 0; i < chats_.size(); ++i) {
    if (chats_[i] == nullptr || !chats_[i]->in_file) continue;
    std::error_code error;
    std::filesystem::remove(PathFromUtf8(FileOf(i)), error);
  }
}

std::string LineDetailTexts::FileOf(size_t chat) const {
  return JoinPath(folder_, "kx_line_chat_" + std::to_string(chat) + ".part");
}

void LineDetailTexts::Add(size_t chat, const LineMessage& message) {
  if (chats_[chat] == nullptr) {
    chats_[chat] = std::make_unique<Chat>();
    chats_[chat]->writer.BeginArray();
  }
  Chat& entry = *chats_[chat];
  const size_t before = entry.text.size();
  WriteLineMessage(message, &element_, &entry.writer);
  pending_bytes_ += entry.text.size() - before;
  if (pending_bytes_ > memory_limit_) Spill();
}

void LineDetailTexts::Spill() {
  std::vector<size_t> largest;
  for (size_t i = 0; i < chats_.size(); ++i) {
    if (chats_[i] != nullptr && !chats_[i]->text.empty()) largest.push_back(i);
  }
  std::sort(largest.begin(), largest.end(),
            [this](size_t a, size_t b) { return chats_[a]->text.size() > chats_[b]->text.size(); });
  for (const size_t i : largest) {
    if (pending_bytes_ <= memory_limit_ / 2) break;
    MoveToFile(chats_[i].get(), i);
  }
}

void LineDetailTexts::MoveToFile(Chat* chat, size_t index) {
  // A failed write after the file was created counts as written, as it
  // does for a detail file written in one go.
  if (chat->file_error == 0) {
    const std::string path = FileOf(index);
    if (!chat->in_file) {
      const FileWriteResult written = WriteNewFile(path, chat->text);
      if (written.failed_step == FileStep::kOpen) {
        chat->file_error = written.error;
      } else {
        chat->in_file = true;
      }
    } else {
      AppendFile file;
      if (file.Open(path) == 0) file.Write(chat->text);
    }
  }
  // The memory goes back: a chat whose text reached a file is one of the
  // largest, and a few hundred such buffers kept would outgrow the limit.
  pending_bytes_ -= chat->text.size();
  std::string().swap(chat->text);
}

std::string LineDetailTexts::Save(size_t chat, const char* prefix, int* counter,
                                  DetailFileItem item) {
  if (chats_[chat] == nullptr) {
    item.has_details = false;
    return SaveDetailFile(folder_, prefix, counter, item);
  }
  Chat& entry = *chats_[chat];
  item.has_details = true;
  const size_t before = entry.text.size();
  entry.writer.EndArray();
  pending_bytes_ += entry.text.size() - before;
  std::string path;
  if (entry.in_file || entry.file_error != 0) {
    if (entry.in_file) MoveToFile(&entry, chat);
    entry.in_file = false;  // renamed, or removed
    path = SaveWrittenDetailFile(folder_, prefix, counter, item, FileOf(chat), entry.file_error);
  } else {
    const std::string& text = entry.text;
    item.write_details = [&text](std::ostream* out) {
      out->write(text.data(), static_cast<std::streamsize>(text.size()));
    };
    path = SaveDetailFile(folder_, prefix, counter, item);
  }
  pending_bytes_ -= entry.text.size();
  chats_[chat].reset();
  return path;
}

}  // namespace kx
