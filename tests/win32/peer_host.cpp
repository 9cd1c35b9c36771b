// Runs the Win32 serial tests under Wine against scripted serial peers.
//
//   peer_host WINEPREFIX COMa[,COMb...] -- wine64 test.exe [args]
//
// Each COM number gets a pseudo-terminal whose master side is a PtyPeer; the
// slave is published to Wine as $WINEPREFIX/dosdevices/comN; peer index i
// stands behind the i-th name. The test program drives the peers through its
// standard output: a line "@peer <index> <command> [arguments]" is carried
// out here and answered on its standard input with "ok [data]" or
// "error <text>". Every other line it prints is passed on. The exit code is
// the test program's.
//
// Commands (bytes in hex, no separators):
//   write HEX               write at once
//   play MS:HEX[,MS:HEX...] write in the background, each step MS after the last
//   read N MS               up to N bytes within MS; answers the bytes read
//   avail MS                what arrives within MS (all queued after the first)
//   idle MS                 1 when every played step has been written, else 0
//   settings                the line settings the port left on the terminal
#include "HexText.h"
#include "PtyPeer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using TestSupport::Bytes;
using TestSupport::PeerScript;
using TestSupport::PeerStep;
using TestSupport::PtyPeer;

namespace {

bool ParsePlay(const std::string& text, PeerScript& script) {
    std::stringstream steps(text);
    std::string step;
    while (std::getline(steps, step, ',')) {
        const std::size_t colon = step.find(':');
        if (colon == std::string::npos)
            return false;
        PeerStep s;
        s.delayMs = std::atoi(step.substr(0, colon).c_str());
        if (!FromHex(step.substr(colon + 1), s.bytes))
            return false;
        script.push_back(std::move(s));
    }
    return true;
}

std::string Settings(const PtyPeer& peer) {
    const termios t = peer.SlaveSettings();
    static const std::pair<speed_t, int> speeds[] = {
        {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    int baud = 0;
    for (const auto& [code, value] : speeds)
        if (cfgetospeed(&t) == code)
            baud = value;
    const int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 0;
    std::ostringstream out;
    out << "baud=" << baud << " bits=" << bits << " parenb=" << ((t.c_cflag & PARENB) != 0)
        << " cstopb=" << ((t.c_cflag & CSTOPB) != 0) << " crtscts=" << ((t.c_cflag & CRTSCTS) != 0)
        << " cooked=" << ((t.c_lflag & (ICANON | ECHO | ISIG)) != 0)
        << " translate=" << ((t.c_iflag & ICRNL) != 0 || (t.c_oflag & OPOST) != 0)
        << " ixon=" << ((t.c_iflag & IXON) != 0) << " ixoff=" << ((t.c_iflag & IXOFF) != 0);
    return out.str();
}

std::string Carry(std::vector<std::unique_ptr<PtyPeer>>& peers, const std::string& line) {
    std::istringstream in(line);
    std::string tag, command;
    std::size_t index = 0;
    if (!(in >> tag >> index >> command) || index >= peers.size())
        return "error bad request";
    PtyPeer& peer = *peers[index];
    if (command == "write" || command == "play") {
        std::string argument;
        in >> argument;
        PeerScript script;
        Bytes bytes;
        if (command == "write" && FromHex(argument, bytes))
            peer.Write(bytes);
        else if (command == "play" && ParsePlay(argument, script))
            peer.Play(script);
        else
            return "error bad bytes";
        return "ok";
    }
    if (command == "read") {
        std::size_t count = 0;
        int ms = 0;
        in >> count >> ms;
        return "ok " + Hex(peer.ReadExactly(count, ms));
    }
    if (command == "avail") {
        int ms = 0;
        in >> ms;
        return "ok " + Hex(peer.ReadAvailable(ms));
    }
    if (command == "idle") {
        int ms = 0;
        in >> ms;
        return peer.WaitIdle(ms) ? "ok 1" : "ok 0";
    }
    if (command == "settings")
        return "ok " + Settings(peer);
    return "error unknown command";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(stderr, "usage: %s WINEPREFIX COMa[,COMb...] -- PROGRAM [ARGS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dosdevices = std::filesystem::path(argv[1]) / "dosdevices";
    std::vector<std::unique_ptr<PtyPeer>> peers;
    std::vector<std::filesystem::path> links;
    std::vector<std::string> programArgs(argv + 4, argv + argc);
    std::stringstream names(argv[2]);
    std::string name;
    while (std::getline(names, name, ',')) {
        peers.push_back(std::make_unique<PtyPeer>());
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto link = dosdevices / lower;
        std::filesystem::remove(link);
        std::filesystem::create_symlink(peers.back()->SlavePath(), link);
        links.push_back(link);
    }

    int toChild[2];
    int fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
        std::perror("pipe");
        return 2;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        ::close(toChild[0]);
        ::close(toChild[1]);
        ::close(fromChild[0]);
        ::close(fromChild[1]);
        std::vector<char*> args;
        for (std::string& a : programArgs)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    std::signal(SIGPIPE, SIG_IGN);

    FILE* output = ::fdopen(fromChild[0], "r");
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, output)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.rfind("@peer ", 0) != 0) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            continue;
        }
        const std::string answer = Carry(peers, line) + "\n";
        if (::write(toChild[1], answer.data(), answer.size()) !=
            static_cast<ssize_t>(answer.size()))
            break;
    }
    std::fclose(output);
    ::close(toChild[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    for (const auto& link : links)
        std::filesystem::remove(link);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    std::fprintf(stderr, "peer_host: the test program ended abnormally\n");
    return 1;
}
