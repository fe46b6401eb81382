// Windows stand-in for the host program, run under Wine: the same title, keyboard menu, data
// files and item places as the Qt stand-in (tools/mewmail). The pet that went out with a mail
// comes home once the date the host sees (GetLocalTime) has reached its return day.
//
// MEWMAIL_QUIT_AFTER_MS=n ends it by itself after n milliseconds (used by the automatic tests).

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t kTitle[] = L"Mewmail for Windows ver. 2.0";
const wchar_t kReceivingTitle[] = L"メールを受信中";
const wchar_t kSettings[] = L"Mewmail設定.mwc";
const wchar_t kSettingsBackup[] = L"Mewmail設定.bak";
const wchar_t* const kPlaces[] = {L"おもちゃ", L"おやつ", L"受信フォルダ", L"送信フォルダ", L"添付書類ﾌｫﾙﾀﾞ", L"宝物"};
const wchar_t* const kNames[] = {L"ミケ", L"ポチ", L"タマ", L"モモ", L"ハナ", L"コロ", L"チビ", L"ソラ"};

enum Command { kReceive = 1, kSend, kQuit };
enum Timer { kReceivingDone = 1, kQuitNow };

struct Pet {
    std::wstring name;
    std::wstring born;     // yyyy-MM-ddThh:mm:ss
    int fullness = 50;     // 0..100
    int received = 0;      // mails received so far
    std::wstring outUntil; // yyyy-MM-dd: out delivering a mail until that day; empty: at home
};

std::wstring folder; // the executable's folder, with a final backslash
Pet pet;
HWND mainWindow = nullptr;
HWND statusText = nullptr;
HWND receiving = nullptr;

std::wstring path(const std::wstring& name)
{
    return folder + name;
}

std::string utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), size);
    return out;
}

bool exists(const std::wstring& file)
{
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeText(const std::wstring& file, const std::wstring& text, DWORD disposition = CREATE_ALWAYS)
{
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const std::string bytes = utf8(text);
    DWORD written = 0;
    const bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(h);
    return ok;
}

bool readText(const std::wstring& file, std::wstring& text)
{
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    text = wide(bytes);
    return true;
}

// ---- dates, as the host sees them -------------------------------------------------------

std::wstring format(const wchar_t* pattern, const SYSTEMTIME& t)
{
    wchar_t buffer[64];
    wsprintfW(buffer, pattern, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buffer;
}

SYSTEMTIME now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

std::wstring isoDay(const SYSTEMTIME& t)
{
    return format(L"%04d-%02d-%02d", t);
}

SYSTEMTIME addDays(SYSTEMTIME t, int days)
{
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    ULARGE_INTEGER u{};
    u.LowPart = f.dwLowDateTime;
    u.HighPart = f.dwHighDateTime;
    u.QuadPart += ULONGLONG(days) * 24 * 60 * 60 * 10000000ULL;
    f.dwLowDateTime = u.LowPart;
    f.dwHighDateTime = u.HighPart;
    FileTimeToSystemTime(&f, &t);
    return t;
}

// ---- the pet's data ---------------------------------------------------------------------

bool loadSettings()
{
    std::wstring text;
    if (!readText(path(kSettings), text))
        return false;
    Pet state;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const size_t eq = line.find(L'=');
        if (eq == std::wstring::npos)
            continue;
        const std::wstring key = line.substr(0, eq);
        const std::wstring value = line.substr(eq + 1);
        if (key == L"名前")
            state.name = value;
        else if (key == L"誕生")
            state.born = value;
        else if (key == L"満腹度")
            state.fullness = std::min(100, std::max(0, _wtoi(value.c_str())));
        else if (key == L"受信数")
            state.received = _wtoi(value.c_str());
        else if (key == L"おでかけ")
            state.outUntil = value;
    }
    if (state.name.empty())
        state.name = L"ななしのペット";
    pet = state;
    return true;
}

void saveSettings()
{
    if (exists(path(kSettings)))
        CopyFileW(path(kSettings).c_str(), path(kSettingsBackup).c_str(), FALSE);
    writeText(path(kSettings), L"[Mewmail 2.0]\n名前=" + pet.name + L"\n誕生=" + pet.born + L"\n満腹度=" +
                                   std::to_wstring(pet.fullness) + L"\n受信数=" + std::to_wstring(pet.received) +
                                   L"\nおでかけ=" + pet.outUntil + L"\n");
}

void prepare()
{
    for (const wchar_t* place : kPlaces)
        CreateDirectoryW(path(place).c_str(), nullptr);
    if (!loadSettings()) {
        pet = Pet{};
        pet.name = kNames[GetTickCount() % (sizeof kNames / sizeof *kNames)];
        pet.born = format(L"%04d-%02d-%02dT%02d:%02d:%02d", now());
        saveSettings();
    }
}

// place\stem + the date and time seen + suffix, numbered when that name is taken.
void writeUnique(const std::wstring& place, const std::wstring& stem, const std::wstring& suffix,
                 const std::wstring& content)
{
    const std::wstring base = path(place) + L"\\" + stem + format(L"%04d%02d%02d_%02d%02d%02d", now());
    std::wstring name = base + suffix;
    for (int n = 2; exists(name); ++n)
        name = base + L"_" + std::to_wstring(n) + suffix;
    writeText(name, content, CREATE_NEW);
}

int countFiles(const std::wstring& place, const std::wstring& pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((path(place) + L"\\" + pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++count;
    while (FindNextFileW(h, &found));
    FindClose(h);
    return count;
}

// One letter, plus the pet's own when the date seen has reached its return day.
void receiveMail()
{
    const SYSTEMTIME today = now();
    const std::wstring stamp = format(L"%04d/%02d/%02d %02d:%02d", today);
    writeUnique(L"受信フォルダ", L"mail_", L".mwm",
                L"差出人: ミューメール配達係\n日付: " + stamp + L"\n\n" + pet.name +
                    L" さんへ、おたよりが届きました。\n");
    ++pet.received;
    if (!pet.outUntil.empty() && isoDay(today) >= pet.outUntil) {
        writeUnique(L"受信フォルダ", L"home_", L".mwm",
                    L"差出人: " + pet.name + L"\n日付: " + stamp + L"\n\nただいま！ おみやげを拾ってきたよ。\n");
        writeUnique(L"宝物", L"treasure_", L".pac", L"きれいな貝がら\n");
        pet.outUntil.clear();
        ++pet.received;
    }
    saveSettings();
}

void sendMail()
{
    writeUnique(L"送信フォルダ", L"sent_", L".mwm", L"差出人: " + pet.name + L"\n\nこんにちは。元気にしていますか？\n");
    pet.outUntil = isoDay(addDays(now(), 1));
    pet.fullness = std::max(0, pet.fullness - 10);
    saveSettings();
}

void refresh()
{
    std::wstring where = L"おうちにいます";
    if (!pet.outUntil.empty())
        where = L"おでかけ中（" + pet.outUntil + L" に帰宅予定）";
    const std::wstring text = L"ペット: " + pet.name + L"\r\n満腹度: " + std::to_wstring(pet.fullness) + L"　" + where +
                              L"\r\n受信フォルダ: " + std::to_wstring(countFiles(L"受信フォルダ", L"*.mwm")) +
                              L" 通　送信フォルダ: " + std::to_wstring(countFiles(L"送信フォルダ", L"*.mwm")) +
                              L" 通\r\n宝物: " + std::to_wstring(countFiles(L"宝物", L"*.pac")) + L" 個";
    SetWindowTextW(statusText, text.c_str());
}

// ---- windows ----------------------------------------------------------------------------

LRESULT CALLBACK receivingProc(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_TIMER && wp == kReceivingDone) {
        KillTimer(w, kReceivingDone);
        EnableWindow(mainWindow, TRUE);
        DestroyWindow(w);
        receiving = nullptr;
        receiveMail();
        refresh();
        SetForegroundWindow(mainWindow);
        return 0;
    }
    if (message == WM_CLOSE)
        return 0; // closes by itself
    return DefWindowProcW(w, message, wp, lp);
}

// Shows "メールを受信中" for about a second; the mail is stored when it closes.
void startReceiving(HINSTANCE instance)
{
    if (receiving)
        return;
    receiving =
        CreateWindowExW(WS_EX_DLGMODALFRAME, L"MewmailReceiving", kReceivingTitle, WS_POPUP | WS_CAPTION | WS_VISIBLE,
                        CW_USEDEFAULT, CW_USEDEFAULT, 280, 90, mainWindow, nullptr, instance, nullptr);
    CreateWindowExW(0, L"STATIC", L"メールを受信しています...", WS_CHILD | WS_VISIBLE, 16, 16, 240, 24, receiving,
                    nullptr, instance, nullptr);
    EnableWindow(mainWindow, FALSE);
    SetTimer(receiving, kReceivingDone, 1000, nullptr);
}

LRESULT CALLBACK mainProc(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    const HINSTANCE instance = HINSTANCE(GetWindowLongPtrW(w, GWLP_HINSTANCE));
    switch (message) {
    case WM_CREATE:
        statusText =
            CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 12, 12, 420, 90, w, nullptr, instance, nullptr);
        refresh();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == kReceive)
            startReceiving(instance);
        else if (LOWORD(wp) == kSend) {
            sendMail();
            refresh();
        } else if (LOWORD(wp) == kQuit)
            DestroyWindow(w);
        return 0;
    case WM_TIMER:
        if (wp == kQuitNow)
            DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, message, wp, lp);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    std::vector<wchar_t> self(MAX_PATH);
    while (GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())) >= self.size())
        self.resize(self.size() * 2);
    folder = self.data();
    folder.erase(folder.find_last_of(L'\\') + 1);
    prepare();

    WNDCLASSW mainClass{};
    mainClass.lpfnWndProc = mainProc;
    mainClass.hInstance = instance;
    mainClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    mainClass.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    mainClass.lpszClassName = L"MewmailMain";
    RegisterClassW(&mainClass);
    WNDCLASSW receivingClass = mainClass;
    receivingClass.lpfnWndProc = receivingProc;
    receivingClass.lpszClassName = L"MewmailReceiving";
    RegisterClassW(&receivingClass);

    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kReceive, L"メールを受信(&M)");
    AppendMenuW(file, MF_STRING, kSend, L"メールを送る(&S)");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, kQuit, L"終了(&X)");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, UINT_PTR(file), L"ファイル(&F)");

    mainWindow = CreateWindowExW(0, mainClass.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 460, 180, nullptr, bar, instance, nullptr);
    if (!mainWindow)
        return 1;
    ShowWindow(mainWindow, show);
    UpdateWindow(mainWindow);

    wchar_t value[32];
    if (GetEnvironmentVariableW(L"MEWMAIL_QUIT_AFTER_MS", value, 32) > 0)
        SetTimer(mainWindow, kQuitNow, UINT(_wtoi(value)), nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
