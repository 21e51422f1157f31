// A lock-guarded queue of staged file paths. Each operation holds the
// queue's own mutex for its duration only.
#ifndef KX_COMMON_FILE_QUEUE_H_
#define KX_COMMON_FILE_QUEUE_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

namespace kx {

class FileQueue {
 public:
  void Push(const std::string& path);
  // Puts a path that could not be handled back at the front.
  void PushFront(const std::string& path);
  // False when the queue was empty.
  bool Pop(std::string* path);
  bool Empty() const;
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> paths_;
};

}  // namespace kx

#endif  // KX_COMMON_FILE_QUEUE_H_
