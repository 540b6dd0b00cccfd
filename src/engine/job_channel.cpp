// The channel between a worker and the engine: who holds which points, in memory or spooled.
#include "engine/job_channel.hpp"

#include <algorithm>
#include <utility>

#include "engine/point_spool.hpp"

namespace {

// Points read from a spool file and delivered at once (64 KiB).
constexpr std::size_t read_chunk = 4096;

// Points gathered before one write to a spool file: a system call per point would cost more
// than the point.
constexpr std::size_t spool_batch = 256;

// Moves the batch into the slot's memory and waits while the condition in turn holds the cap.
bool hand_to_memory(job_channel& ch, condition_slot& slot, point_list& batch,
                    std::unique_lock<std::mutex>& lock) {
  slot.points.insert(slot.points.end(), batch.begin(), batch.end());
  batch.clear();
  ch.changed.notify_all();
  // A slow consumer must not let the points pile up.
  ch.changed.wait(lock, [&] {
    return !slot.in_turn || slot.points.size() < job_point_cap || ch.cancel.load();
  });
  return !ch.cancel.load();
}

}  // namespace

bool hand_over(job_channel& ch, std::size_t index, point_list& batch, bool last) {
  std::unique_lock lock(ch.mutex);
  condition_slot& slot = ch.slots[index];
  if (!slot.to_memory && slot.in_turn && slot.taken == slot.spooled) {
    slot.to_memory = true;
  }
  if (slot.to_memory) {
    return hand_to_memory(ch, slot, batch, lock);
  }
  if (batch.size() < spool_batch && !last) {
    return !ch.cancel.load();
  }
  // Only this worker writes the file and `spooled`: the write needs no lock.
  int fd = slot.file;
  const long long at = slot.spooled;
  lock.unlock();
  if (fd < 0) {
    fd = open_spool(ch.spool_dir);
  }
  const bool written = 0 <= fd && spool_write(fd, at, batch);
  lock.lock();
  slot.file = fd;
  if (!written) {
    // No disk space or no file: these points and the rest wait in memory, unbounded but
    // correct. The engine reads what the file holds first.
    slot.to_memory = true;
    return hand_to_memory(ch, slot, batch, lock);
  }
  slot.spooled += static_cast<long long>(batch.size());
  batch.clear();
  ch.changed.notify_all();
  return !ch.cancel.load();
}

void finish(job_channel& ch, std::size_t index, std::string failure, const chaos_summary& chaos,
            const rotation_summary& rotation) {
  const std::lock_guard lock(ch.mutex);
  condition_slot& slot = ch.slots[index];
  slot.failure = std::move(failure);
  slot.chaos = chaos;
  slot.rotation = rotation;
  slot.finished = true;
  ch.changed.notify_all();
}

void begin_turn(job_channel& ch, std::size_t index) {
  const std::lock_guard lock(ch.mutex);
  ch.slots[index].in_turn = true;
  ch.changed.notify_all();
}

bool take_points(job_channel& ch, std::size_t index, point_list& taken, bool& finished,
                 std::chrono::milliseconds wait) {
  condition_slot& slot = ch.slots[index];
  std::unique_lock lock(ch.mutex);
  ch.changed.wait_for(lock, wait, [&] {
    return slot.taken < slot.spooled || !slot.points.empty() || slot.finished;
  });
  finished = false;
  if (slot.taken == slot.spooled) {
    taken.swap(slot.points);
    finished = slot.finished;
    if (finished) {
      // Every point of the condition is taken: its disk space is freed at once.
      close_spool(slot.file);
      slot.file = -1;
    }
    ch.changed.notify_all();
    return true;
  }
  // Only the engine moves `taken`, and the worker never rewrites what it has spooled: the read
  // needs no lock.
  const int fd = slot.file;
  const long long at = slot.taken;
  taken.resize(static_cast<std::size_t>(std::min<long long>(slot.spooled - at, read_chunk)));
  lock.unlock();
  if (!spool_read(fd, at, taken)) {
    return false;
  }
  lock.lock();
  slot.taken += static_cast<long long>(taken.size());
  ch.changed.notify_all();
  return true;
}

void close_spools(job_channel& ch) {
  const std::lock_guard lock(ch.mutex);
  for (condition_slot& slot : ch.slots) {
    close_spool(slot.file);
    slot.file = -1;
  }
}
