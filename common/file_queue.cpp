#include "common/file_queue.h"

#include <utility>

namespace kx {

void FileQueue::Push(const std::string& path) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->paths.push_back(path);
}

void FileQueue::PushFront(const std::string& path) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->paths.push_front(path);
}

bool FileQueue::Pop(std::string* path) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->paths.empty()) return false;
  *path = std::move(shared_->paths.front());
  shared_->paths.pop_front();
  return true;
}

bool FileQueue::Empty() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->paths.empty();
}

size_t FileQueue::Size() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->paths.size();
}

}  // namespace kx
