#pragma once
// Texts of the alias editor and the alias page.

namespace vantrel::txt::alias {

// Editor dialog
inline constexpr wchar_t DialogCaption[] = L"Takma ad ayarları";
inline constexpr wchar_t NameLabel[] = L"Takma ad:";
inline constexpr wchar_t DatabaseLabel[] = L"Veri tabanı";
inline constexpr wchar_t SelectDatabase[] = L"...";
inline constexpr wchar_t Ok[] = L"Tamam";
inline constexpr wchar_t Cancel[] = L"Vazgeç";
inline constexpr wchar_t DuplicateAlias[] = L"Mükerrer takma ad";
inline constexpr wchar_t DuplicateDatabase[] = L"Mükerrer veri tabanı";
inline constexpr wchar_t DatabaseFilter[] =
    L"Veri tabanı dosyaları (fdb,gdb,fb,ib)|*.fdb;*.gdb;*.ib;*.fb|All Files (*.*)|*.*";

// Alias page
inline constexpr wchar_t NewAliasName[] = L"noname";
inline constexpr wchar_t ConfirmDeleteFmt[] = L"Bu takma adı silmek istediğinizden emin misiniz: %s ?";
// Apply, when the same alias was changed in the file meanwhile.
inline constexpr wchar_t KeepPageVersionFmt[] =
    L"\"%s\" takma adı siz düzenlerken dosyada da değiştirildi.\r\n"
    L"Sayfadaki hali kaydedilsin mi? (Hayır: dosyadaki hali kalır)";
inline constexpr wchar_t SaveFailed[] = L"Takma ad dosyası kaydedilemedi; değişiklikler bekliyor, Uygula ile yeniden deneyin.\r\n";
// Ending the program while created databases' aliases wait to be written.
inline constexpr wchar_t PendingAtExit[] =
    L"Şu veri tabanları oluşturuldu ama takma adları dosyaya yazılamadı:\r\n";

}  // namespace vantrel::txt::alias
