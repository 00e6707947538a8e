#pragma once

#include <QByteArray>

#include <optional>

class QLocalSocket;

// The program's own small modes for the ssh it runs: the askpass helper (ssh runs the program
// with a prompt as its only argument) and the proxy tunnel (ssh's ProxyCommand runs
// "PROGRAM --ssh-tunnel HOST PORT"). Both reach the program that started ssh over a private
// local socket named in kSshHelperVariable, so no secret is ever on a command line or in an
// environment: the password, passphrase or proxy password travels only over that socket.

inline constexpr char kSshHelperVariable[] = "VORLEN_SSH_HELPER";

// Requests over the socket, each one frame: a kind byte, then UTF-8 text.
inline constexpr char kSshHelperPrompt = 'P';  // text: ssh's prompt; answer: the reply
inline constexpr char kSshHelperTunnel = 'T';  // answer: the proxy settings (see below)
// Answers: kSshHelperYes + text, or kSshHelperNo alone.
inline constexpr char kSshHelperYes = '1';
inline constexpr char kSshHelperNo = '0';

// Frames are a 4-byte big-endian length and the bytes.
QByteArray SshHelperFrame(const QByteArray& payload);
// Takes one whole frame off the front of Buffer, if there is one.
std::optional<QByteArray> TakeSshHelperFrame(QByteArray& buffer);

// Runs the helper mode this process was started for and returns its exit status, or nothing
// when this is an ordinary start. Called first thing in main.
std::optional<int> RunSshHelper(int argc, char** argv);
