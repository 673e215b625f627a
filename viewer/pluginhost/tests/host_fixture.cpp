// SPDX-License-Identifier: MIT
#include "viewer/pluginhost/tests/host_fixture.h"

#include <cstdlib>
#include <fstream>

namespace lorvane::pluginhost {

void HostTest::SetUp() {
  std::filesystem::create_directories(Bin());
  setenv("TEST_PLUGIN_LOG", (dir_.path() / "calls.log").c_str(), 1);
}

void HostTest::Install(const std::string& variant, std::string file,
                       std::filesystem::path folder) const {
  if (file.empty()) file = variant + ".so";
  if (folder.empty()) folder = Bin();
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::filesystem::path(TEST_PLUGIN_DIR) / (variant + ".so"),
                             folder / file, std::filesystem::copy_options::overwrite_existing);
}

std::unique_ptr<FeliCaDLLHost> HostTest::StartHost() {
  auto host = std::make_unique<FeliCaDLLHost>(ui_, Bin());
  host->ChangeFolder(platform::U16(Bin().string() + "/"));
  host->Start();
  return host;
}

std::vector<std::string> HostTest::Calls() {
  const auto path = dir_.path() / "calls.log";
  std::vector<std::string> calls;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  in.close();
  std::filesystem::remove(path);
  return calls;
}

std::vector<std::string> HostTest::Names(const DLLHost& host) const {
  std::vector<std::string> names;
  for (uint16_t i = 0; i < host.GetCount(); ++i) names.push_back(platform::U8(host.GetName(i)));
  return names;
}

}  // namespace lorvane::pluginhost
