// The pack's thread (portable): Pack with the job's cancel flag and
// progress call, every exception turned into the outcome.
#include "authoring/pack_job.h"

#include <sstream>

#include "format/karu_format.h"
#include "karupack/errors.h"

namespace turv::authoring {

PackJob::PackJob(karupack::PackOptions options, ProgressCall progress,
                 std::function<void()> finished) {
  options.cancel = &cancel_;
  options.onProgress = std::move(progress);
  thread_ = std::thread([this, options = std::move(options), finished = std::move(finished)] {
    std::ostringstream notes;
    try {
      outcome_.packed = karupack::Pack(options, notes, notes);
      outcome_.end = End::Packed;
      outcome_.message = format::Printable(notes.str());
    } catch (const karupack::Interrupted&) {
      outcome_.end = End::Cancelled;
    } catch (const std::exception& failure) {
      outcome_.message = format::Printable(failure.what());
    } catch (...) {
      outcome_.message = "unknown failure";
    }
    if (finished) finished();
  });
}

PackJob::~PackJob() {
  Cancel();
  Wait();
}

const PackJob::Outcome& PackJob::Wait() {
  if (thread_.joinable()) thread_.join();
  return outcome_;
}

}  // namespace turv::authoring
