// SPDX-License-Identifier: MIT
// What the main dialog holds and does apart from its widgets: the plug-in host, the loaded
// card definitions, the read list of the last read, and where the card shown came from.
// The window renders it; the command line reads through it the same way.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "viewer/app/card_read_session.h"
#include "viewer/app/definition_discovery.h"
#include "viewer/app/read_outcome.h"
#include "viewer/app/viewer_app.h"
#include "viewer/archive/stored_read.h"
#include "viewer/pluginhost/felica_dll_host.h"

namespace lorvane::app {

// What became of saving the card as a card image.
struct SaveOutcome {
  enum Result { kSaved, kNoCard, kFileError } result = kSaved;
  std::string reason;  // why not: where the dump stopped, or the file and its fault
};

class MainDialogModel {
 public:
  MainDialogModel(ViewerApp& app, pluginhost::HostUi& ui);
  // The card definitions go first, then the plug-in host, which saves its registry file.
  ~MainDialogModel();
  MainDialogModel(const MainDialogModel&) = delete;
  MainDialogModel& operator=(const MainDialogModel&) = delete;

  // The host starts on the program folder: registry file, discovery, settings, probe.
  void StartHost();
  // From now on every read of a card from a reader (not from a card image) goes to
  // `archiver` as well: reads and dumps alike.
  void SetArchiver(std::function<void(const archive::StoredRead&)> archiver) {
    archiver_ = std::move(archiver);
  }
  // From now on the read button reads this card image instead of the plug-ins.
  void ServeCardImage(cardimage::CardImage image, std::filesystem::path file);

  // Destroys the loaded definitions, emptying the read list.
  void ClearCardDefinitions();
  // Loads the definitions of `folder` (after ClearCardDefinitions); `unit` is what the widths
  // of their line formats count.
  void LoadCardDefinitions(const std::filesystem::path& folder,
                           platform::WidthUnit unit = platform::WidthUnit::kCodeUnits);

  // One press of the read button; the number of definitions that read the card.
  size_t ReadCards();
  // Reads a card image once, as if it lay on the reader.
  size_t ReadCardImage(cardimage::CardImage image, std::filesystem::path file);

  size_t readCount() const { return readList_.size(); }
  // The definitions that read the card in the last read, in tab order.
  const std::vector<carddef::CardDefinition*>& readList() const { return readList_; }
  std::u16string CardName(size_t tab) const { return readList_.at(tab)->GetCardName(); }
  // What tab `tab` shows; nullopt for a tab beyond the read list (or the eighth).
  std::optional<CardView> ViewAt(int tab) const;
  // The views of every tab, in tab order.
  std::vector<CardView> Views() const;
  // The card image the card shown was read from (a file given or dropped, or the image a
  // card-image plug-in served); nullopt when it came from a reader or nothing is shown.
  const std::optional<std::filesystem::path>& shownImage() const { return shownImage_; }

  // Saves the card as a card image: the card image served instead of the plug-ins as it is,
  // else a dump of the card on the reader. The file is written only when the dump is
  // complete.
  SaveOutcome SaveCardImage(const std::filesystem::path& file,
                            const std::function<void(const std::string&)>& progress);
  // The card image a card-image plug-in serves as its reader; nullopt for a real reader.
  std::optional<std::filesystem::path> ImageServedByHost();

  // What the polls of the last read found.
  const ReadOutcome& lastOutcome() const { return lastOutcome_; }
  // Why the last read showed nothing (kNone before a read or when it showed a card).
  ReadProblem Problem() const;
  // Whether reads go to a card image given to the program rather than the plug-ins.
  bool servesCardImage() const { return servedImage_.has_value(); }

  ViewerApp& app() { return app_; }
  pluginhost::FeliCaDLLHost& host() { return *host_; }
  const CardDefinitions& definitions() const { return definitions_; }

 private:
  size_t ReadWith(carddef::CardReader& reader);
  void Archive(archive::StoredRead read);

  ViewerApp& app_;
  std::unique_ptr<pluginhost::FeliCaDLLHost> host_;
  std::optional<cardimage::CardImage> servedImage_;
  std::filesystem::path servedImageFile_;
  CardDefinitions definitions_;
  std::vector<carddef::CardDefinition*> readList_;
  std::optional<std::filesystem::path> shownImage_;
  ReadOutcome lastOutcome_;
  bool read_ = false;
  std::function<void(const archive::StoredRead&)> archiver_;
};

// Now, in seconds since 1970 (UTC).
int64_t SecondsNow();

// The reader part of a reader entry "group""reader" whose group is the card-image group;
// nullopt for any other entry.
std::optional<std::u16string> CardImageOfEntry(const std::u16string& entry);

}  // namespace lorvane::app
