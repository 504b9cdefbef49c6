#include "platform/win32/win32_port.h"

#include <algorithm>
#include <chrono>

#include "quarn7/error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace quarn7 {

namespace {

struct Parity {
    char letter;
    BYTE code;
};

constexpr Parity kParities[] = {
    {'n', NOPARITY}, {'o', ODDPARITY}, {'e', EVENPARITY}, {'m', MARKPARITY}, {'s', SPACEPARITY},
};

// A write that has not finished after this long (plus the bytes' own line time) is given up:
// flow control holds the line or the driver is stuck.
constexpr DWORD kWriteStallMs = 1000;

HANDLE as_handle(void* handle) {
    return static_cast<HANDLE>(handle);
}

std::string system_message(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length != 0 ? from_wide({text, length}) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "system error " + std::to_string(code) : message;
}

Error port_error(ErrorNumber number, const std::string& detail) {
    return Error(number, std::string(describe(number)) + ": " + detail);
}

Error open_error(DWORD code, const std::string& name) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return port_error(ErrorNumber::NoSuchDevice, name);
        // A COM port already opened by another program refuses the open with "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return port_error(ErrorNumber::PortBusy, name + " is in use by another program");
        default:
            return port_error(ErrorNumber::PortIo, name + ": " + system_message(code));
    }
}

// What a driver answers once its USB adapter has been unplugged.
bool device_gone(DWORD code) {
    switch (code) {
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_OPERATION_ABORTED:
        case ERROR_ACCESS_DENIED:
            return true;
        default:
            return false;
    }
}

}  // namespace

Win32Port::~Win32Port() {
    if (handle_ != nullptr) CloseHandle(as_handle(handle_));
}

void Win32Port::open_port() {
    const std::string name = line_name();
    const LineSettings line = parse_line_settings(settings());
    // The \\.\ form is the only one that reaches COM10 and above.
    const HANDLE handle =
        CreateFileW(to_wide("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw open_error(GetLastError(), name);
    const auto give_up = [&](ErrorNumber number, const char* what) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        throw port_error(number, name + ": " + what + ": " + system_message(code));
    };

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) give_up(ErrorNumber::NoSuchDevice, "not a serial port");
    dcb.BaudRate = static_cast<DWORD>(line.baud);
    dcb.ByteSize = static_cast<BYTE>(line.data_bits);
    dcb.Parity = std::ranges::find(kParities, line.parity, &Parity::letter)->code;
    dcb.StopBits = line.stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != 'n';
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // A parity or framing error must not stop the port until ClearCommError: the reply decoding
    // judges what arrived.
    dcb.fAbortOnError = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    // Handshaking is a bit set: 1 XON/XOFF, 2 RTS/CTS, 3 both.
    dcb.fOutX = dcb.fInX = (handshaking() & 1) != 0;
    dcb.fOutxCtsFlow = (handshaking() & 2) != 0;
    dcb.fRtsControl = (handshaking() & 2) != 0 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    if (!SetCommState(handle, &dcb)) give_up(ErrorNumber::InvalidPropertyValue, "line settings");

    // Eleven bits a byte at most, in whole milliseconds rounded up.
    write_ms_per_byte_ = static_cast<unsigned long>(11000 / line.baud + 1);
    handle_ = handle;
    name_ = name;
    pending_.clear();
    read_wait_ = MAXDWORD;  // none set yet
    set_read_wait(0);
    // Whatever arrived before the open belongs to nobody.
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

void Win32Port::close_port() {
    CloseHandle(as_handle(handle_));
    handle_ = nullptr;
    name_.clear();
    pending_.clear();
}

void Win32Port::fail(const char* what) {
    const DWORD code = GetLastError();
    const std::string name = name_;
    if (device_gone(code)) {
        // Closed first, so PortOpen reads false and the host can open again once it is back.
        close_port();
        throw port_error(ErrorNumber::DeviceLost, name);
    }
    throw port_error(ErrorNumber::PortIo, name + ": " + what + ": " + system_message(code));
}

void Win32Port::set_read_wait(unsigned long milliseconds) {
    if (milliseconds == read_wait_) return;
    // MAXDWORD, MAXDWORD, n: return as soon as a byte is there, or after n ms with nothing.
    // MAXDWORD, 0, 0: return at once with whatever is there.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = milliseconds == 0 ? 0 : MAXDWORD;
    t.ReadTotalTimeoutConstant = milliseconds;
    t.WriteTotalTimeoutMultiplier = write_ms_per_byte_;
    t.WriteTotalTimeoutConstant = kWriteStallMs;
    if (!SetCommTimeouts(as_handle(handle_), &t)) fail("SetCommTimeouts");
    read_wait_ = milliseconds;
}

void Win32Port::read_into(std::string& bytes) {
    char buffer[4096];
    DWORD count = 0;
    if (!ReadFile(as_handle(handle_), buffer, sizeof buffer, &count, nullptr)) fail("read");
    bytes.append(buffer, count);
}

void Win32Port::write_bytes(std::string_view bytes) {
    DWORD written = 0;
    if (!WriteFile(as_handle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
        fail("write");
    }
    if (written < bytes.size()) {
        throw port_error(ErrorNumber::PortIo,
                         name_ + ": write stalled (flow control holding the line?)");
    }
}

int Win32Port::queued() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(as_handle(handle_), &errors, &status)) fail("ClearCommError");
    // The driver reports damage since the last call, not which byte it hit: parity and framing
    // errors, breaks, and bytes lost to an overrun all spoil the answer under way.
    if (errors & (CE_RXPARITY | CE_FRAME | CE_BREAK | CE_OVERRUN | CE_RXOVER)) note_line_error();
    return static_cast<int>(status.cbInQue);
}

int Win32Port::bytes_waiting() {
    return static_cast<int>(pending_.size()) + queued();
}

std::string Win32Port::read_waiting() {
    std::string bytes = std::move(pending_);
    pending_.clear();
    set_read_wait(0);
    for (;;) {
        const std::size_t before = bytes.size();
        try {
            read_into(bytes);
        } catch (const Error&) {
            // What came before an error is still handed over; the next call reports the error.
            if (!bytes.empty()) return bytes;
            throw;
        }
        if (bytes.size() == before) break;
    }
    queued();  // damage among the bytes just taken counts before they are handed over
    return bytes;
}

bool Win32Port::wait_readable(Clock::duration timeout) {
    if (!pending_.empty()) return true;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    if (ms <= 0) return bytes_waiting() > 0;
    set_read_wait(static_cast<unsigned long>(std::min<long long>(ms, MAXDWORD - 1)));
    read_into(pending_);
    return !pending_.empty();
}

}  // namespace quarn7
