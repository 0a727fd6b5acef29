#pragma once
// Texts of the root directory change.

namespace vantrel::txt::rootchange {

inline constexpr wchar_t BrowseTitle[] = L"Firebird kök/ana dizinini seçin";
inline constexpr wchar_t NotARootFmt[] = L"%s geçerli Firebird kök dizini değil";
// Placeholders: the new root, then the version text of its server.
inline constexpr wchar_t ConfirmChangeFmt[] =
    L"Firebird kök dizinini değiştirmek istediğinizden emin misiniz\r\nto %s\r\n(Version %s) ?";
inline constexpr wchar_t CannotStopServer[] = L"Sunucu durdurulamıyor!";
inline constexpr wchar_t ToolsMissing[] =
    L"instreg/instsvc veya gds32.dll hatalı. Kök dizini değiştirilemedi!";
inline constexpr wchar_t LibraryLocked[] = L"File is locked, can't replace:\r\n";
inline constexpr wchar_t CannotCopyFmt[] = L"Kopyalanamadı %s";

// Prefixes of the errors raised when a registration tool cannot be started.
inline constexpr wchar_t UninstallServicePrefix[] = L"UninstallService: ";
inline constexpr wchar_t UnRegisterServerPrefix[] = L"UnRegisterServer: ";
inline constexpr wchar_t RegisterServerPrefix[] = L"RegisterServer: ";
inline constexpr wchar_t InstallServicePrefix[] = L"InstallService: ";
inline constexpr wchar_t InstallClientPrefix[] = L"InstallClient: ";

}  // namespace vantrel::txt::rootchange
