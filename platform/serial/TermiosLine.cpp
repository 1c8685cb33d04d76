#include "TermiosLine.h"

namespace {

struct BaudSpeed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudSpeed BaudTable[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

struct NamedBits {
    tcflag_t mask;
    const char* name;
};

// The fields that decide the line.
constexpr NamedBits ControlBits[] = {{CSIZE, "CSIZE"},   {PARENB, "PARENB"},   {PARODD, "PARODD"},
                                     {CSTOPB, "CSTOPB"}, {CRTSCTS, "CRTSCTS"}, {CLOCAL, "CLOCAL"},
                                     {CREAD, "CREAD"}};
constexpr NamedBits InputBits[] = {{INPCK, "INPCK"},   {PARMRK, "PARMRK"}, {IXON, "IXON"},
                                   {IXOFF, "IXOFF"},   {IGNPAR, "IGNPAR"}, {IGNBRK, "IGNBRK"},
                                   {BRKINT, "BRKINT"}, {ISTRIP, "ISTRIP"}};
constexpr NamedBits LocalBits[] = {
    {ICANON, "ICANON"}, {ECHO, "ECHO"}, {ISIG, "ISIG"}, {IEXTEN, "IEXTEN"}};

struct NamedChar {
    int index;
    const char* name;
};
constexpr NamedChar LineChars[] = {
    {VMIN, "VMIN"}, {VTIME, "VTIME"}, {VSTART, "VSTART"}, {VSTOP, "VSTOP"}};

template <std::size_t N>
void AddDifferent(const NamedBits (&bits)[N], tcflag_t a, tcflag_t b, std::string& names) {
    for (const NamedBits& entry : bits) {
        if ((a & entry.mask) != (b & entry.mask))
            names += names.empty() ? entry.name : std::string(" ") + entry.name;
    }
}

void AddName(bool differs, const char* name, std::string& names) {
    if (differs)
        names += names.empty() ? name : std::string(" ") + name;
}

std::string Refusal(const char* what, int value) {
    return what + std::to_string(value) + " は termios で設定できません";
}

} // namespace

bool BaudToSpeed(std::uint32_t baud, speed_t& speed) {
    for (const auto& entry : BaudTable) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

std::uint32_t SpeedToBaud(speed_t speed) {
    for (const auto& entry : BaudTable) {
        if (entry.speed == speed)
            return entry.baud;
    }
    return 0;
}

void MakeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | PARMRK | INPCK);
    t.c_iflag |= INPCK | PARMRK;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

TLineFlags LineFlags(const DCB& dcb) {
    tcflag_t cflag = CLOCAL | CREAD;
    switch (dcb.ByteSize) {
    case 5:
        cflag |= CS5;
        break;
    case 6:
        cflag |= CS6;
        break;
    case 7:
        cflag |= CS7;
        break;
    case 8:
        cflag |= CS8;
        break;
    default:
        return {0, Refusal("データビット数 ", dcb.ByteSize)};
    }
    switch (dcb.Parity) {
    case NOPARITY:
        break;
    case ODDPARITY:
        cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        cflag |= PARENB;
        break;
    default:
        return {0, Refusal("パリティ ", dcb.Parity)};
    }
    // Linux UARTs send 1.5 stop bits for CSTOPB with 5 data bits, and only then.
    if (dcb.StopBits == TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize == 5))
        cflag |= CSTOPB;
    else if (dcb.StopBits == ONE5STOPBITS)
        return {0, "1.5 ストップビットはデータビット数 5 でだけ設定できます"};
    else if (dcb.StopBits != ONESTOPBIT)
        return {0, Refusal("ストップビット ", dcb.StopBits)};
    // There is no DSR handshake in termios; saying yes to it would be a lie.
    if ((dcb.Flags & DcbOutxDsrFlow) || DcbDtrControl(dcb) == DTR_CONTROL_HANDSHAKE)
        return {0, "DTR/DSR フロー制御は termios にありません"};
    if ((dcb.Flags & DcbOutxCtsFlow) || DcbRtsControl(dcb) == RTS_CONTROL_HANDSHAKE)
        cflag |= CRTSCTS;
    return {cflag, {}};
}

std::string LineDifference(const termios& wanted, const termios& got) {
    std::string names;
    AddDifferent(ControlBits, wanted.c_cflag, got.c_cflag, names);
    AddDifferent(InputBits, wanted.c_iflag, got.c_iflag, names);
    AddDifferent(LocalBits, wanted.c_lflag, got.c_lflag, names);
    AddName(cfgetospeed(&wanted) != cfgetospeed(&got), "出力速度", names);
    AddName(cfgetispeed(&wanted) != cfgetispeed(&got), "入力速度", names);
    for (const NamedChar& entry : LineChars)
        AddName(wanted.c_cc[entry.index] != got.c_cc[entry.index], entry.name, names);
    return names;
}

void ReadLine(const termios& t, DCB& dcb) {
    dcb.BaudRate = SpeedToBaud(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    dcb.Parity = !(t.c_cflag & PARENB) ? NOPARITY : (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb.StopBits = !(t.c_cflag & CSTOPB) ? ONESTOPBIT
                   : dcb.ByteSize == 5   ? ONE5STOPBITS
                                         : TWOSTOPBITS;
    dcb.Flags &= ~(DcbOutX | DcbInX | DcbOutxCtsFlow);
    if (t.c_iflag & IXON)
        dcb.Flags |= DcbOutX;
    if (t.c_iflag & IXOFF)
        dcb.Flags |= DcbInX;
    const std::uint32_t rtsMask = 3u << DcbRtsControlShift;
    if (t.c_cflag & CRTSCTS) {
        dcb.Flags =
            (dcb.Flags & ~rtsMask) | DcbOutxCtsFlow | (RTS_CONTROL_HANDSHAKE << DcbRtsControlShift);
    } else if (DcbRtsControl(dcb) == RTS_CONTROL_HANDSHAKE) {
        dcb.Flags = (dcb.Flags & ~rtsMask) | (RTS_CONTROL_ENABLE << DcbRtsControlShift);
    }
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
}
