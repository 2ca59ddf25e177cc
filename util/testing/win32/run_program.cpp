// RunProgram on Windows: CreateProcessW with the program's standard streams on temporary files,
// so no amount of output can make it block, and a wait with a time limit.

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>

#include "util/testing/platform_constants.h"
#include "util/testing/run_cli.h"
#include "util/testing/win32/wide.h"

namespace util_testing {
namespace {

// UTF-8 to UTF-16, where a surrogate code point in its three-byte form (ED A0..BF xx) becomes
// that one unit, paired or not. Anything else that is not UTF-8 becomes U+FFFD.
std::wstring WideFromWtf8(const std::string& text) {
    std::wstring wide;
    const auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    for (size_t at = 0; at < text.size();) {
        const unsigned lead = byte(at);
        const size_t length = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead < 0xE0 ? 2
                              : lead >= 0xE0 && lead < 0xF0 ? 3
                              : lead >= 0xF0 && lead < 0xF5 ? 4
                                                            : 0;
        unsigned code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        size_t taken = 1;
        while (length > 1 && taken < length && at + taken < text.size() &&
               (byte(at + taken) & 0xC0) == 0x80)
            code = (code << 6) | (byte(at + taken++) & 0x3F);
        const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length == 0 || taken < length || code < least[length] || code > 0x10FFFF) {
            wide.push_back(L'\xFFFD');
            at += taken;
            continue;
        }
        if (code >= 0x10000) {
            wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(code));
        }
        at += length;
    }
    return wide;
}

// One argument quoted so that the C runtime's command-line splitter (CommandLineToArgvW rules)
// gives it back unchanged: backslashes are literal except before a quote.
void AppendQuoted(std::wstring* line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line->append(arg);
        return;
    }
    line->push_back(L'"');
    size_t backslashes = 0;
    for (wchar_t ch : arg) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        line->append(ch == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line->push_back(ch);
    }
    line->append(2 * backslashes, L'\\');
    line->push_back(L'"');
}

// Names of environment variables compare without regard to case on Windows.
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
    }
};

// The inherited environment with the changes applied, as a sorted environment block.
std::wstring EnvironmentBlock(const std::vector<std::string>& changes) {
    std::map<std::wstring, std::wstring, NoCaseLess> vars;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const wchar_t* eq = wcschr(entry + 1, L'=');  // "=C:=C:\x" names start with '='
            if (eq) vars[std::wstring(entry, eq)] = eq + 1;
        }
        ::FreeEnvironmentStringsW(strings);
    }
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        if (eq == std::string::npos)
            vars.erase(WideFromUtf8(change));
        else
            vars[WideFromUtf8(change.substr(0, eq))] = WideFromUtf8(change.substr(eq + 1));
    }
    std::wstring block;
    for (const auto& [name, value] : vars) block += name + L'=' + value + L'\0';
    block += L'\0';
    return block;
}

// An unnamed temporary file the child inherits as one of its standard streams. Files, not
// pipes: a process the child starts (Wine starts its desktop process that way) may inherit the
// handle and keep it open, and a pipe would then never report its end.
class StreamFile {
  public:
    StreamFile() {
        wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        if (::GetTempPathW(MAX_PATH + 1, folder) && ::GetTempFileNameW(folder, L"run", 0, name))
            handle_ = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &inherit, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    ~StreamFile() {
        if (ok()) ::CloseHandle(handle_);
    }
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE handle() const { return handle_; }
    bool Write(const std::string& bytes) {
        DWORD written = 0;
        for (size_t at = 0; at < bytes.size(); at += written)
            if (!::WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at),
                             &written, nullptr))
                return false;
        return ::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
    }
    std::string ReadAll() {
        std::string text;
        if (::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
            return text;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(handle_, buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        return text;
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Windows programs end their lines with CR LF on standard output; the callers compare LF.
std::string WithLfLineEnds(std::string text) {
    const std::string crlf = kProgramNewline;
    for (size_t at = 0; (at = text.find(crlf, at)) != std::string::npos; ++at)
        text.replace(at, crlf.size(), "\n");
    return text;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::string& input,
                     const std::string& dir, int limitSeconds) {
    std::wstring line;
    AppendQuoted(&line, WideFromUtf8(program));
    for (const std::string& arg : args) {
        line.push_back(L' ');
        AppendQuoted(&line, WideFromWtf8(arg));
    }
    StreamFile in, out, err;
    if (!in.ok() || !out.ok() || !err.ok() || !in.Write(input)) return {-1, "", "no stream files"};

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.handle();
    startup.hStdOutput = out.handle();
    startup.hStdError = err.handle();
    std::wstring block = EnvironmentBlock(env);
    const std::wstring folder = WideFromUtf8(dir);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                          block.data(), folder.empty() ? nullptr : folder.c_str(), &startup,
                          &process))
        return {127, "", "cannot start " + program};

    RunResult result{-1, "", ""};
    const DWORD limit = limitSeconds > 0 ? static_cast<DWORD>(limitSeconds) * 1000 : INFINITE;
    if (::WaitForSingleObject(process.hProcess, limit) == WAIT_TIMEOUT) {
        result.timedOut = true;
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, INFINITE);
    } else if (DWORD code = 0; ::GetExitCodeProcess(process.hProcess, &code)) {
        result.exitCode = static_cast<int>(code);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.out = out.ReadAll();
    result.err = err.ReadAll();
    result.out = WithLfLineEnds(std::move(result.out));
    result.err = WithLfLineEnds(std::move(result.err));
    return result;
}

}  // namespace util_testing
