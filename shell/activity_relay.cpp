#include "shell/activity_relay.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <array>

#include "engine/engine_messages.h"

namespace mirrox {
namespace {

// The texts with which a run opens its steps (the log's words for them).
constexpr std::array<const char*, 6> kStepTexts = {
    messages::kAddressStep,      messages::kCurrentValuesStep, messages::kArchiveStep,
    messages::kArchiveSinceStep, messages::kRequestsStep,      messages::kEventsStep,
};

bool isStepText(const std::string& text) {
  return std::any_of(kStepTexts.begin(), kStepTexts.end(), [&](const char* step) { return text == step; });
}

}  // namespace

ActivityRelay::ActivityRelay(QObject& context, Show show) : context_(context), show_(std::move(show)) {}

void ActivityRelay::runStarted(int index, std::string objectName) {
  activity_ = RunActivity{index + 1, std::move(objectName), {}, std::nullopt};
  deliver();
}

void ActivityRelay::runEnded() {
  activity_ = RunActivity{};
  deliver();
}

void ActivityRelay::statusPublished(const std::string& text) {
  if (!isStepText(text)) return;
  activity_.step = text;
  deliver();
}

void ActivityRelay::progressed(const Progress& progress) {
  activity_.progress = progress;
  deliver();
}

void ActivityRelay::progressEnded() {
  activity_.progress.reset();
  deliver();
}

void ActivityRelay::deliver() {
  const std::uint64_t number = latest_->fetch_add(1) + 1;
  if (QThread::currentThread() == context_.thread()) {
    show_(activity_);
    // The run holds the GUI thread: let the window repaint, as LogLine and ShowStatus do.
    QCoreApplication::processEvents();
    return;
  }
  QMetaObject::invokeMethod(
      &context_,
      [show = show_, activity = activity_, number, latest = latest_] {
        if (latest->load() == number) show(activity);
      },
      Qt::QueuedConnection);
}

}  // namespace mirrox
