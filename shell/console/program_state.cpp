#include "shell/console/program_state.h"

#include <QStringList>

#include "shell/console/progress_text.h"

namespace mirrox {

QString programState(const QString& statusText, const RunActivity& activity) {
  if (!activity.running()) return statusText;
  QStringList lines{"Репликация: " + QString::number(activity.objectNumber) + ". " +
                    QString::fromStdString(activity.objectName)};
  if (!activity.step.empty()) lines << QString::fromStdString(activity.step);
  if (progressShown(activity.progress)) lines << progressText(*activity.progress);
  return lines.join('\n');
}

}  // namespace mirrox
