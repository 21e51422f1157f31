// A lock-guarded queue of staged file paths. Each operation holds the
// queue's own mutex for its duration only.
#ifndef KX_COMMON_FILE_QUEUE_H_
#define KX_COMMON_FILE_QUEUE_H_

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace kx {

// A handle: copies share one queue. A filter works on a copy of its
// record's inputs while another filter call of the same data type pushes
// onto the record's queues; both must see one queue.
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
  struct Shared {
    std::mutex mutex;  // guards `paths`
    std::deque<std::string> paths;
  };
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace kx

#endif  // KX_COMMON_FILE_QUEUE_H_
