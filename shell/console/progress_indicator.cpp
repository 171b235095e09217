#include "shell/console/progress_indicator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include "shell/console/progress_text.h"

namespace mirrox {
namespace {

constexpr int kBarWidth = 160;

}  // namespace

ProgressIndicator::ProgressIndicator(QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), bar_(new QProgressBar(this)) {
  setObjectName("progressIndicator");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  label_->setObjectName("progressText");
  bar_->setObjectName("progressBar");
  bar_->setRange(0, 1000);
  // The figures stand in the label, where every style shows them.
  bar_->setTextVisible(false);
  bar_->setFixedWidth(kBarWidth);
  layout->addWidget(label_);
  layout->addWidget(bar_);
  hide();
}

void ProgressIndicator::showProgress(const std::optional<Progress>& progress) {
  if (!progressShown(progress)) {
    hide();
    return;
  }
  label_->setText(progressText(*progress));
  bar_->setValue(progressPerMille(*progress));
  show();
}

}  // namespace mirrox
