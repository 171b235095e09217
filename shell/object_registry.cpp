#include "shell/object_registry.h"

#include <algorithm>
#include <climits>
#include <set>

#include "shell/settings_keys.h"

namespace mirrox {
namespace {

int readInteger(const ProfileDocument& doc, std::string_view section, const settings::IntegerKey& key) {
  const auto text = doc.value(section, key.name);
  if (!text) return key.fallback;
  return parseProfileInteger(*text).value_or(key.fallback);
}

std::string readText(const ProfileDocument& doc, std::string_view section, const settings::TextKey& key) {
  return doc.value(section, key.name).value_or(std::string());
}

std::optional<int> objectSectionId(const std::string& sectionName) {
  const auto id = parseProfileInteger(sectionName);
  if (!id || *id < 0) return std::nullopt;
  return id;
}

}  // namespace

ObjectRegistry::ObjectRegistry(std::filesystem::path settingsPath, Clock& clock, RegistryObserver& observer)
    : file_(std::move(settingsPath)), clock_(clock), observer_(observer) {}

DateTime ObjectRegistry::defaultLastReplicationTime() {
  return clock_.now() - settings::kDefaultLastReplicationAgeDays;
}

void ObjectRegistry::LoadObjects() {
  ProfileDocument doc;
  try {
    doc = file_.load();
  } catch (const ProfileReadError& error) {
    // The list stays empty; the operator learns why, and no write will replace the file.
    observer_.logLine(error.what());
  }
  objects_.clear();
  objects_.reserve(settings::kMaxLoadedObjects);

  observer_.scheduleLoaded(readInteger(doc, settings::kMainSection, settings::kPeriod),
                           readInteger(doc, settings::kMainSection, settings::kNight) != 0);

  const DateTime fallbackTime = defaultLastReplicationTime();
  for (const std::string& section : doc.sectionNames()) {
    if (count() >= settings::kMaxLoadedObjects) break;
    const auto sectionId = objectSectionId(section);
    if (!sectionId) continue;

    const int index = count();
    auto object = std::make_unique<TMyPic>(index, &observer_);
    object->SectionId = *sectionId;
    object->SectionName = section;
    object->SetHostAndPort(readText(doc, section, settings::kHost),
                           readInteger(doc, section, settings::kPort));
    object->Name = readText(doc, section, settings::kName);
    const auto dtime = parseRussianDateTime(readText(doc, section, settings::kLastReplication));
    object->SetLastReplicationTime(dtime.value_or(fallbackTime));
    object->LocalDbPath = readText(doc, section, settings::kLocalDbPath);
    object->RemoteDbPath = readText(doc, section, settings::kRemoteDbPath);
    object->ResultId = readInteger(doc, section, settings::kResultId);
    object->DbType = readInteger(doc, section, settings::kDbType);
    object->AddressChecksum = readInteger(doc, section, settings::kAddressChecksum);
    objects_.push_back(std::move(object));

    observer_.logLine(std::to_string(index + 1) + ". " + objects_.back()->Name);
    observer_.objectAdded(index);
  }
  objects_.shrink_to_fit();
}

int ObjectRegistry::AddObject() {
  // One more than the highest section number in the file or the list, so that an add never
  // writes over another object's section, whatever order the file's sections are in.
  std::set<int> used;
  try {
    for (const std::string& section : file_.load().sectionNames()) {
      if (const auto id = objectSectionId(section)) used.insert(*id);
    }
  } catch (const ProfileReadError&) {
    // The write that follows refuses an unreadable file, so no section is at risk.
  }
  for (const auto& object : objects_) used.insert(object->SectionId);
  int sectionId = 1;
  if (!used.empty() && *used.rbegin() < INT_MAX) {
    sectionId = std::max(1, *used.rbegin() + 1);
  } else {
    while (used.count(sectionId) != 0) ++sectionId;
  }

  const int index = count();
  auto object = std::make_unique<TMyPic>(index, &observer_);
  object->SectionId = sectionId;
  object->SectionName = std::to_string(sectionId);
  object->SetLastReplicationTime(defaultLastReplicationTime());
  objects_.push_back(std::move(object));
  return index;
}

void ObjectRegistry::WriteObjectSettings(int index, const ObjectSettingsTexts& texts) {
  const std::string& section = at(index).SectionName;
  ProfileDocument doc = file_.loadForUpdate();
  doc.setValue(section, settings::kName.name, texts.name);
  doc.setValue(section, settings::kHost.name, texts.host);
  doc.setValue(section, settings::kPort.name, texts.port);
  doc.setValue(section, settings::kLocalDbPath.name, texts.localDbPath);
  doc.setValue(section, settings::kRemoteDbPath.name, texts.remoteDbPath);
  doc.setValue(section, settings::kDbType.name, texts.dbType);
  file_.save(doc);
}

void ObjectRegistry::SaveObjectState(int periodMinutes, bool night) {
  ProfileDocument doc = file_.loadForUpdate();
  doc.setValue(settings::kMainSection, settings::kPeriod.name, std::to_string(periodMinutes));
  doc.setValue(settings::kMainSection, settings::kNight.name, night ? "1" : "0");
  for (const auto& object : objects_) {
    const std::string& section = object->SectionName;
    doc.setValue(section, settings::kLastReplication.name,
                 formatRussianDateTime(object->LastReplicationTime));
    doc.setValue(section, settings::kAddressChecksum.name, std::to_string(object->AddressChecksum));
  }
  file_.save(doc);
}

}  // namespace mirrox
