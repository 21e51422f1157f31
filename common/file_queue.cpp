#include "common/file_queue.h"

#include <utility>

namespace kx {

void FileQueue::Push(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_.push_back(path);
}

void FileQueue::PushFront(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_.push_front(path);
}

bool FileQueue::Pop(std::string* path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (paths_.empty()) return false;
  *path = std::move(paths_.front());
  paths_.pop_front();
  return true;
}

bool FileQueue::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_.empty();
}

size_t FileQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_.size();
}

}  // namespace kx
