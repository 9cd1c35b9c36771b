#include "WinTest.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>

namespace WinTest {

namespace {
LONG WINAPI Crashed(EXCEPTION_POINTERS* info) {
    char module[MAX_PATH] = "?";
    HMODULE where = nullptr;
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCSTR>(info->ExceptionRecord->ExceptionAddress), &where))
        ::GetModuleFileNameA(where, module, sizeof module);
    std::printf("FAIL crashed: exception %08lX at %p in %s\n",
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                info->ExceptionRecord->ExceptionAddress, module);
    ++Counts().failed;
    ::ExitProcess(static_cast<UINT>(Summary()));
}
} // namespace

int Summary() {
    if (Counts().skipped > 0)
        std::printf("%d checks skipped under Wine\n", Counts().skipped);
    std::printf("%d passed, %d failed\n", Counts().passed, Counts().failed);
    std::fflush(stdout);
    return Counts().failed == 0 ? 0 : 1;
}

void ReportCrashes() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(Crashed);
}

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

Bytes FromHex(const std::string& text) {
    Bytes bytes;
    if (!::FromHex(text, bytes))
        bytes.clear();
    return bytes;
}

Bytes Sequence(std::size_t count, std::uint8_t first) {
    Bytes b(count);
    for (std::size_t i = 0; i < count; ++i)
        b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

void Peer::Play(const std::vector<std::pair<int, Bytes>>& steps) {
    std::string script;
    for (const auto& [delay, bytes] : steps)
        script += (script.empty() ? "" : ",") + std::to_string(delay) + ":" + Hex(bytes);
    Ask("play " + script);
}

void Peer::Trickle(const Bytes& bytes, std::size_t chunk, int gapMs, int firstMs) {
    std::vector<std::pair<int, Bytes>> steps;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        const std::size_t end = std::min(bytes.size(), at + chunk);
        steps.emplace_back(steps.empty() ? firstMs : gapMs,
                           Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(end)));
    }
    Play(steps);
}

// A request goes out on standard output, the answer comes back on standard
// input as one line. A peer that cannot answer ends the run: every later
// check would only report the same broken channel.
std::string Peer::Ask(const std::string& command) {
    std::printf("@peer %d %s\n", m_index, command.c_str());
    std::fflush(stdout);
    std::string line;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        line += buffer;
        if (!line.empty() && line.back() == '\n')
            break;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.rfind("ok", 0) != 0) {
        std::printf("FAIL peer channel: '%s' answered '%s'\n", command.c_str(), line.c_str());
        ++Counts().failed;
        std::exit(Summary());
    }
    return line.size() > 3 ? line.substr(3) : std::string();
}

} // namespace WinTest
