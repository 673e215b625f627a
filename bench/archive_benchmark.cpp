// SPDX-License-Identifier: MIT
// The history archive at size: an archive of CARDS cards with RECORDS history records each
// (100,000 in all by default), built by storing overlapping reads as a reader would give
// them. Prints the time to store one more read, `lorvane --history` of one card, `lorvane
// --history --csv` of everything (median wall time and peak memory of each), and the time
// the archive window takes to load and show a card.
//
// usage: archive-benchmark [CARDS] [RECORDS] [RUNS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cardimage/card_image.h"
#include "testing/support/temp_dir.h"
#include "testing/support/transit_card.h"
#include "viewer/app/archive_texts.h"
#include "viewer/archive/history_archive.h"
#include "viewer/ui/archive_dialog.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kUsesBetweenReads = 19;  // each read shares one record with the one before

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

lorvane::archive::Id8 CardId(int card) {
  return {0x01,
          0x2E,
          0x4C,
          0x66,
          0x77,
          0x88,
          static_cast<uint8_t>(card >> 8),
          static_cast<uint8_t>(card)};
}

bool Build(const fs::path& file, int cards, int records) {
  std::string error;
  auto archive = lorvane::archive::HistoryArchive::OpenForWriting(file, error);
  if (archive == nullptr) return std::fprintf(stderr, "%s\n", error.c_str()), false;
  for (int card = 0; card < cards; ++card) {
    for (int uses = 20; uses < records + kUsesBetweenReads; uses += kUsesBetweenReads) {
      const int n = std::min(uses, records);
      const auto read =
          lorvane::archive::FromCardImage(lorvane::testing::TransitCard(n, CardId(card)), n);
      if (!archive->Store(read, error)) return std::fprintf(stderr, "%s\n", error.c_str()), false;
    }
  }
  return true;
}

struct Run {
  double medianMs = 0;
  long peakKb = 0;
};

Run Measure(const std::vector<std::string>& args, int runs) {
  std::vector<double> times;
  Run run;
  for (int i = 0; i <= runs; ++i) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      freopen("/dev/null", "w", stdout);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (i == 0) continue;  // warms the caches
    times.push_back(Ms(Clock::now() - start));
    run.peakKb = std::max(run.peakKb, usage.ru_maxrss);
  }
  run.medianMs = Median(times);
  return run;
}

double StoreOneRead(const fs::path& file, int records, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto read = lorvane::archive::FromCardImage(
        lorvane::testing::TransitCard(records + 1 + i, CardId(0)), records + 1 + i);
    const auto start = Clock::now();
    std::string error;
    auto archive = lorvane::archive::HistoryArchive::OpenForWriting(file, error);
    if (archive == nullptr || !archive->Store(read, error))
      std::fprintf(stderr, "%s\n", error.c_str());
    times.push_back(Ms(Clock::now() - start));
  }
  return Median(times);
}

double OpenWindow(const fs::path& file, const fs::path& languages, int runs) {
  std::vector<double> times;
  const fs::path english = languages / "English";
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    lorvane::ui::ArchiveDialog dialog(file, english,
                                      lorvane::app::LoadArchiveTexts(english / "Language.ini"));
    dialog.Reload();
    dialog.show();
    QApplication::processEvents();
    times.push_back(Ms(Clock::now() - start));
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const int records = argc > 2 ? std::clamp(std::atoi(argv[2]), 20, 30000) : 10000;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  QApplication application(argc, argv);
  const fs::path bin = LORVANE_BIN_DIR;
  lorvane::testing::TempDir dir;
  const fs::path file = dir.path() / "history.sqlite";

  std::printf("history archive: %d cards x %d records = %d records\n", cards, records,
              cards * records);
  auto start = Clock::now();
  if (!Build(file, cards, records)) return 1;
  std::printf("built in %.1f s (%d reads stored), file %.1f MB\n", Ms(Clock::now() - start) / 1000,
              cards * (records / kUsesBetweenReads + 1),
              static_cast<double>(fs::file_size(file)) / 1e6);

  std::printf("storing one more read (open + store): median %.2f ms\n",
              StoreOneRead(file, records, std::max(runs, 10)));
  const std::string lorvane = (bin / "lorvane").string();
  const Run one = Measure({lorvane, "--history", "--card-id", "012E4C6677880000", "--archive",
                           file.string(), "--language", "English"},
                          runs);
  std::printf("lorvane --history of one card (%d records): median %.1f ms, peak %.1f MB\n", records,
              one.medianMs, static_cast<double>(one.peakKb) / 1024);
  const Run all = Measure(
      {lorvane, "--history", "--csv", "--archive", file.string(), "--language", "English"}, runs);
  std::printf("lorvane --history --csv of everything: median %.1f ms, peak %.1f MB\n", all.medianMs,
              static_cast<double>(all.peakKb) / 1024);
  std::printf("archive window, open and show the first card: median %.1f ms\n",
              OpenWindow(file, bin / "Define/Language", runs));
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  std::printf("this process (window included) peak memory: %.1f MB\n",
              static_cast<double>(self.ru_maxrss) / 1024);
  return 0;
}
