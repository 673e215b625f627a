// SPDX-License-Identifier: MIT
#include "viewer/pluginhost/plugin_call_guard.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace lorvane::pluginhost {
namespace {

constexpr std::array kFatalSignals = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kNameBytes = 256;

// What the signal handler may read: plain bytes, set before the call.
char g_plugin[kNameBytes];
char g_entry[kNameBytes];
struct sigaction g_previous[kFatalSignals.size()];
int g_depth = 0;

void Put(const char* text) {
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void Copy(char* to, const char* from) {
  std::strncpy(to, from, kNameBytes - 1);
  to[kNameBytes - 1] = '\0';
}

// Async-signal-safe: says where it happened, puts the previous handling back and raises the
// signal again, so the process ends (or a debugger or sanitizer reports) as it would have.
void OnFatalSignal(int signal) {
  Put("lorvane: the reader plug-in ");
  Put(g_plugin);
  Put(" crashed in its entry point ");
  Put(g_entry);
  Put(" (");
  Put(strsignal(signal) != nullptr ? "fatal signal" : "signal");
  Put("); remove it from the plug-in folder or replace it\n");
  for (size_t i = 0; i < kFatalSignals.size(); ++i) {
    if (kFatalSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
  }
  raise(signal);
}

}  // namespace

PluginCallScope::PluginCallScope(const std::string& plugin, const char* entry) {
  if (g_depth++ > 0) return;
  Copy(g_plugin, plugin.c_str());
  Copy(g_entry, entry);
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_NODEFER;
  for (size_t i = 0; i < kFatalSignals.size(); ++i)
    sigaction(kFatalSignals[i], &action, &g_previous[i]);
}

PluginCallScope::~PluginCallScope() {
  if (--g_depth > 0) return;
  for (size_t i = 0; i < kFatalSignals.size(); ++i)
    sigaction(kFatalSignals[i], &g_previous[i], nullptr);
}

}  // namespace lorvane::pluginhost
