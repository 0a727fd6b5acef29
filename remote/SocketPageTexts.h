#pragma once
// Texts of the two command-server pages. The listener's log lines are in ProtocolTexts.h.
namespace vantrel::socktxt {

inline constexpr wchar_t StartCaption[] = L"&Bağlantı yuva sunucusunu başlat";
inline constexpr wchar_t StopCaption[] = L"&Bağlantı yuva sunucusunu durdur";

// Status bar: after a start with a full stop, after a stop without one.
inline constexpr wchar_t StatusRunningAfterStart[] = L"Sunucu çalışıyor.";
inline constexpr wchar_t StatusStoppedAfterStart[] = L"Sunucu durduruldu.";
inline constexpr wchar_t StatusStopped[] = L"Sunucu durduruldu";
inline constexpr wchar_t StatusRunning[] = L"Sunucu çalışıyor";

inline constexpr wchar_t StopFailedError[] = L"Sunucu durdurma hatası!";

inline constexpr wchar_t Started[] = L"Sunucu başarıyla başlatıldı.";
inline constexpr wchar_t StartFailed[] = L"Sunucu başlatma hatası!\r\r";
inline constexpr wchar_t NotRunning[] = L"Sunucu zaten çalışmıyor !";
inline constexpr wchar_t Stopped[] = L"Sunucu başarıyla durduruldu.";
inline constexpr wchar_t StopFailed[] = L"Sunucu durdurma hatası! \r\r";

inline constexpr wchar_t DefaultFolderTitle[] = L"Firebird kök/ana dizinini seçin";
inline constexpr wchar_t DataFolder[] = L"Data\\";

// The login that creates new databases, on the tunnel settings page.
inline constexpr wchar_t AdminUserLabel[] = L"Yönetici:";
inline constexpr wchar_t AdminPasswordLabel[] = L"Parola:";
inline constexpr wchar_t LoginNotStored[] = L"Yönetici adı ve parolası kaydedilemedi.";

}  // namespace vantrel::socktxt
