// SPDX-License-Identifier: MIT
#include "viewer/app/main_dialog_model.h"

#include <chrono>

#include "cardimage/card_image_reader.h"
#include "pellix/pcsc_hung_mark.h"
#include "platform/file_io.h"
#include "platform/text_codec.h"
#include "viewer/app/card_dump.h"
#include "viewer/app/host_dump_reader.h"
#include "viewer/archive/recording_reader.h"

namespace lorvane::app {

std::optional<std::u16string> CardImageOfEntry(const std::u16string& entry) {
  const std::u16string lead = u"\"" + platform::U16(FELICA_CARD_IMAGE_GROUP) + u"\"\"";
  if (entry.size() <= lead.size() || entry.compare(0, lead.size(), lead) != 0 ||
      entry.back() != u'"')
    return std::nullopt;
  return entry.substr(lead.size(), entry.size() - lead.size() - 1);
}

MainDialogModel::MainDialogModel(ViewerApp& app, pluginhost::HostUi& ui)
    : app_(app),
      host_(std::make_unique<pluginhost::FeliCaDLLHost>(ui, app.paths().pluginFolder,
                                                        app.paths().configFolder)) {}

MainDialogModel::~MainDialogModel() {
  readList_.clear();
  definitions_.clear();
  host_.reset();
}

void MainDialogModel::StartHost() {
  host_->ChangeFolder(platform::U16(app_.paths().pluginFolder.string() + "/"));
  host_->Start();
}

void MainDialogModel::ServeCardImage(cardimage::CardImage image, std::filesystem::path file) {
  servedImage_ = std::move(image);
  servedImageFile_ = std::move(file);
}

void MainDialogModel::ClearCardDefinitions() {
  readList_.clear();
  shownImage_.reset();
  definitions_.clear();
}

void MainDialogModel::LoadCardDefinitions(const std::filesystem::path& folder,
                                          platform::WidthUnit unit) {
  ClearCardDefinitions();
  definitions_ = app::LoadCardDefinitions(folder, unit);
}

size_t MainDialogModel::ReadWith(carddef::CardReader& reader) {
  readList_.clear();
  shownImage_.reset();
  CountingReader counting(reader);
  readList_ = app::ReadCards(counting, definitions_);
  lastOutcome_ = counting.outcome();
  read_ = true;
  if (readList_.empty() && lastOutcome_.cardsFound == 0 && lastOutcome_.noCard > 0)
    lastOutcome_.unrecognisedCard = AnyCardAnswers(reader);
  return readList_.size();
}

ReadProblem MainDialogModel::Problem() const {
  if (!read_ || !readList_.empty()) return ReadProblem::kNone;
  if (definitions_.empty()) return ReadProblem::kNoDefinitions;
  if (!servedImage_ && host_->GetCurrentFunction() < 0) {
    if (pellix::PcscServiceHung()) return ReadProblem::kServiceHung;
    return host_->ProbeFoundNoService() ? ReadProblem::kNoService : ReadProblem::kNoPlugin;
  }
  if (lastOutcome_.cardsFound > 0 || lastOutcome_.unrecognisedCard)
    return ReadProblem::kUnrecognised;
  if (lastOutcome_.pollFailure) return ReadProblem::kReaderFailed;
  return ReadProblem::kNoCard;
}

std::optional<std::filesystem::path> MainDialogModel::ImageServedByHost() {
  const auto entry = host_->ReaderGetName(0);
  if (!entry) return std::nullopt;
  const auto image = CardImageOfEntry(*entry);
  if (!image) return std::nullopt;
  return std::filesystem::path(platform::U8(*image));
}

size_t MainDialogModel::ReadCards() {
  if (servedImage_) {
    cardimage::CardImageReader reader(*servedImage_);
    if (ReadWith(reader) > 0) shownImage_ = servedImageFile_;
    return readCount();
  }
  pluginhost::HostCardReader host(*host_);
  archive::RecordingReader reader(host);
  if (ReadWith(reader) > 0) shownImage_ = ImageServedByHost();
  if (reader.sawCard() && !ImageServedByHost()) Archive(reader.recorded());
  return readCount();
}

void MainDialogModel::Archive(archive::StoredRead read) {
  if (!archiver_) return;
  read.readAt = SecondsNow();
  read.imported = false;
  archiver_(read);
}

int64_t SecondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

SaveOutcome MainDialogModel::SaveCardImage(
    const std::filesystem::path& file, const std::function<void(const std::string&)>& progress) {
  cardimage::CardImage image;
  if (servedImage_) {
    image = *servedImage_;
  } else if (host_->GetCurrentFunction() < 0) {
    return {SaveOutcome::kNoCard, "no reader plug-in answered"};
  } else {
    HostDumpReader reader(*host_);
    DumpResult dump = DumpCard(reader, progress);
    if (!dump.image) return {SaveOutcome::kNoCard, dump.failure};
    image = std::move(*dump.image);
    image.scanned = ScanTimeNow();
    if (!ImageServedByHost()) Archive(archive::FromCardImage(image, 0));
  }
  const std::string error = platform::SaveFile(file, cardimage::SerializeCardImageJson(image),
                                               platform::SaveMode::kReplaceOnly);
  if (!error.empty()) return {SaveOutcome::kFileError, file.string() + ": " + error};
  return {};
}

size_t MainDialogModel::ReadCardImage(cardimage::CardImage image, std::filesystem::path file) {
  cardimage::CardImageReader reader(std::move(image));
  if (ReadWith(reader) > 0) shownImage_ = std::move(file);
  return readCount();
}

std::optional<CardView> MainDialogModel::ViewAt(int tab) const {
  if (tab < 0 || static_cast<size_t>(tab) >= kMaxReadTabs ||
      static_cast<size_t>(tab) >= readList_.size())
    return std::nullopt;
  return ViewOf(*readList_[static_cast<size_t>(tab)]);
}

std::vector<CardView> MainDialogModel::Views() const {
  std::vector<CardView> views;
  for (const auto* definition : readList_) views.push_back(ViewOf(*definition));
  return views;
}

}  // namespace lorvane::app
