#pragma once
// Texts of the tool editor and the tools page.

namespace vantrel::txt::tools {

// Editor dialog
inline constexpr wchar_t DialogCaption[] = L"Araç özellikleri";
inline constexpr wchar_t TitleLabel[] = L"Takma ad:";
inline constexpr wchar_t DuplicateTitle[] = L"Aynı/mükerrer takma ad!";
inline constexpr wchar_t ProgramLabel[] = L"Program:";
inline constexpr wchar_t Browse[] = L"&Gözat";
inline constexpr wchar_t ParamsLabel[] = L"Parametre:";
inline constexpr wchar_t Ok[] = L"&Tamam";
inline constexpr wchar_t Cancel[] = L"&Vazgeç";
inline constexpr wchar_t Close[] = L"&Kapat";
inline constexpr wchar_t ProgramFilter[] = L"Program dosyaları|*.exe;|Tüm dosyalar|*.*";
inline constexpr wchar_t ProgramPattern[] = L"*.exe";

// Tools page
inline constexpr wchar_t DefaultToolTitle[] = L"Firebird günlüğü";
inline constexpr wchar_t DefaultToolProgram[] = L"notepad.exe";
inline constexpr wchar_t DefaultToolParams[] = L"$SERVERLOG";
inline constexpr wchar_t ConfirmDeleteFmt[] = L"Bu aracı silmek istediğinizden emin misiniz: %s ?";

}  // namespace vantrel::txt::tools
