// korvane-cli's conversation tools: the client/server grid, and for one stream picked by
// the texts `streams` prints, latency, throughput, what-if, problems and the visualiser.
#pragma once
#include <CLI/CLI.hpp>

#include <string>

#include "analysis/TraceSession.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {

struct ConversationOptions {
  std::string packetsBytes = "both";  // conversations: both, c2s, s2c
  std::string source, destination;
  int stream = 0;
  int64_t from = 1, to = 0;
  bool small = false, large = false, noLocalMedia = false;  // latency
  int window = 8;                                           // throughput
  bool noAcks = false, kbits = false;
  bool lower = false, halfDuplex = false;                    // what-if
  int users = -1, clientMs = -1, hostMs = -1, sendSize = -1, receiveSize = -1, latencyMs = -1, contentionMs = -1,
      sendRatio = -1, receiveRatio = -1, packetsPerTransaction = -1;
  bool json = false;
};

enum class ConversationCommand { Conversations, Latency, Throughput, WhatIf, Problems, Visualize };

// Adds the options a conversation command takes to its subcommand.
void AddConversationOptions(CLI::App* sub, ConversationCommand command, ConversationOptions& options);

// Prints the command's texts for a read trace; returns the exit status (1 with one line on
// stderr when the selection names no stream).
int RunConversationCommand(ConversationCommand command, const TraceSession& session,
                           const ProblemFinderSettings& settings, const ConversationOptions& options);

}  // namespace korvane
