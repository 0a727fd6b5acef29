#pragma once
// Every text the program shows, in one place.

namespace vantrel::txt {

inline constexpr wchar_t AppTitle[] = L"Vantrel";

// Main window
inline constexpr wchar_t TabStartup[] = L"&Başlangıç";
inline constexpr wchar_t TabEnhanced[] = L"&Gelişmiş";
inline constexpr wchar_t TabAlias[] = L"&Takma adlar";
inline constexpr wchar_t TabTools[] = L"&Araçlar";
inline constexpr wchar_t TabAbout[] = L"&Bilgi";
inline constexpr wchar_t FirebirdProjectLink[] = L"https://firebirdsql.org/";
inline constexpr wchar_t TabNRV[] = L"NRV Sunucu bilgileri";
inline constexpr wchar_t TabSocketInfo[] = L"Soket bilgileri";

inline constexpr wchar_t GuardianTitle[] = L"Firebird Muhafızı";
inline constexpr wchar_t ServerTitle[] = L"Firebird Sunucusu";
inline constexpr wchar_t Autostart[] = L"Firebird Sunucusunu Windows otomatik başlatsın";
inline constexpr wchar_t AsService[] = L"Firebird (WinNT/2000/XP) Servisi olarak çalışsın";
inline constexpr wchar_t UseGuardian[] = L"Firebird Muhafız (Guardian)' ı kullan";
inline constexpr wchar_t Start[] = L"&Başlat";
inline constexpr wchar_t RootDirLabel[] = L"Kök dizin:";
inline constexpr wchar_t ChangeRoot[] = L"Değiştir...";
inline constexpr wchar_t ShowTrayIcon[] = L"Programın simgesini sistem simgelerinin yanında göster";
inline constexpr wchar_t AliasColumnName[] = L"Takma ad";
inline constexpr wchar_t AliasColumnDatabase[] = L"Veri tabanı";
inline constexpr wchar_t AddAliasButton[] = L"&Ekle...";
inline constexpr wchar_t EditAliasButton[] = L"&Değiştir";
inline constexpr wchar_t DeleteAliasButton[] = L"&Sil";
inline constexpr wchar_t AddAlias[] = L"Ekle...";
inline constexpr wchar_t EditAlias[] = L"Değiştir";
inline constexpr wchar_t DeleteAlias[] = L"Sil";
inline constexpr wchar_t ToolsHeading[] = L"Düzenleme araçları";
inline constexpr wchar_t AddTool[] = L"Ekle";
inline constexpr wchar_t DeleteTool[] = L"Sil";
inline constexpr wchar_t EditTool[] = L"Düzenle";
inline constexpr wchar_t LaunchToolButton[] = L"Göster/Çalıştır";
inline constexpr wchar_t LaunchTool[] = L"Çalıştır";
inline constexpr wchar_t UseTunnel[] = L"TCP/IP Tünel yönetimini kullan";
inline constexpr wchar_t TunnelPort[] = L"Tünel için kullanılacak kapı numarası";
inline constexpr wchar_t BindToIP[] = L"IP'ye bağla";
inline constexpr wchar_t BindPort[] = L"Bağ.noktasına";
inline constexpr wchar_t SocketServerStartInitial[] = L"&Bağlantı\r\nsunucusunu\r\nbaşlat";
inline constexpr wchar_t ServerStoppedStatus[] = L"Sunucu durduruldu";
inline constexpr wchar_t Ok[] = L"Tamam";
inline constexpr wchar_t CancelDesign[] = L"Vazgeç";
inline constexpr wchar_t Cancel[] = L"&Vazgeç";
inline constexpr wchar_t Close[] = L"&Kapat";
inline constexpr wchar_t Apply[] = L"Uygula";

// Actions and the tray menu
inline constexpr wchar_t OpenCPA[] = L"Vantrel";
inline constexpr wchar_t CloseCPA[] = L"Çı&kış";
inline constexpr wchar_t StartServer[] = L"Firebird sunucusunu &Başlat";
inline constexpr wchar_t StopServer[] = L"Firebird Sunucusunu &Durdur";
inline constexpr wchar_t AliasManager[] = L"&Takma ad yönetimi...";
inline constexpr wchar_t ConfigTools[] = L"&Ayarlama araçları...";

// Server state
inline constexpr wchar_t RunsAsApplication[] = L"Uygulama olarak çalışıyor";
inline constexpr wchar_t RunsAsService[] = L"Servis olarak çalışıyor";
inline constexpr wchar_t Stopped[] = L"Durduruldu";
inline constexpr wchar_t Disabled[] = L"Etkisiz";
inline constexpr wchar_t NotInstalled[] = L"kurulmamış";
inline constexpr wchar_t ButtonStop[] = L"Durdur";
inline constexpr wchar_t ButtonStart[] = L"Başlat";
inline constexpr wchar_t ButtonVoid[] = L"void";
inline constexpr wchar_t RestartElevated[] = L"Yönetici olarak yeniden başlat";
inline constexpr wchar_t TooltipPrefix[] = L"Vantrel\r\n";
inline constexpr wchar_t DependentServicesFmt[] = L"Bilgi: %d bağımlı servis var";

// Who is connected while the server runs
inline constexpr wchar_t AttachmentsTitle[] = L"Bağlantılar";
inline constexpr wchar_t AttachmentsFmt[] = L"%d bağlantı, %d veri tabanı";
inline constexpr wchar_t AttachmentsUnknown[] = L"bilinmiyor";
inline constexpr wchar_t NoDatabaseInUse[] = L"Açık veri tabanı yok";
inline constexpr wchar_t StopWithAttachmentsFmt[] =
    L"Sunucuda %d açık bağlantı var. Sunucu durdurulursa bu bağlantılar kesilecek.\n\nYine de durdurulsun mu?";
inline constexpr wchar_t MoreDatabasesFmt[] = L"... ve %d veri tabanı daha";

inline constexpr wchar_t StartDependentsFmt[] = L"Aşağıdaki bağımlı servisleri şimdi başlat?\r\n%s";
inline constexpr wchar_t StopDependentsFmt[] =
    L"Aşağıdaki bağımlı servislerin durdurulması gerekli. Şimdi durdur?\r\n%s";

inline constexpr wchar_t StartServerNow[] = L"Firebird sunucusunu şimdi başlat?";

// Installation discovery
inline constexpr wchar_t NoRegistryEntry[] =
    L"Firebird kayıt girişi bulunamadı!\r\nFirebird kurulumunu kontrol edin!";
inline constexpr wchar_t PathNotFound[] = L"Dosya yolu bulunamadı: ";
inline constexpr wchar_t FileNotFound[] = L"Dosya bulunamadı: ";
inline constexpr wchar_t ServerDidNotStop[] =
    L"Firebird sunucusu durmadı.\r\nAçık bağlantıları olan sunucu, durmadan önce kendi penceresinde onay "
    L"ister: sunucunun penceresindeki soruyu yanıtlayın ya da bağlantıları kapatıp yeniden deneyin.";
inline constexpr wchar_t ServerNotFound[] = L"Dosya bulunamadı:  ibserver.exe/fbserver.exe/firebird.exe";

// Several servers on one machine
inline constexpr wchar_t OtherGuardianRuns[] =
    L"Başka bir Firebird kurulumunun sunucusu ya da Muhafızı uygulama olarak çalışıyor.\r\n"
    L"Bir masaüstünde yalnızca bir Muhafız çalışabilir ve Muhafız çalışan her sunucuyu üstlenir: "
    L"bu kurulum Muhafız ile başlatılamaz. Öbürünü durdurun ya da bu kurulumu Muhafız olmadan başlatın.";
inline constexpr wchar_t ApplyBeforeSwitch[] =
    L"Uygulanmamış değişiklikler var. Başka bir kuruluma geçmeden önce uygulansın mı?";
inline constexpr wchar_t DiscardBeforeSwitch[] =
    L"Değişiklikler atılıp başka bir kuruluma geçilsin mi? (Hayır: bu kurulumda kalınır)";
inline constexpr wchar_t SamePortFmt[] = L"%s ile %s aynı portu (%s) kullanıyor: ikincisi başlamaz.";
inline constexpr wchar_t SameIpcNameFmt[] = L"%s ile %s aynı IpcName'i (%s) kullanıyor: ikincisi başlamaz.";
inline constexpr wchar_t FirebirdVariableFmt[] =
    L"Sistemin FIREBIRD değişkeni (%s) her sunucuyu tek klasöre yönlendiriyor: diğer sunucular çalışmaz.";
inline constexpr wchar_t RunValueOfOtherFmt[] = L"Windows ile başlayan: %s";
inline constexpr wchar_t ReplaceRunValueFmt[] =
    L"Windows ile başlayan Firebird başka bir kurulumun programı:\r\n%s\r\nBu kurulumunkiyle değiştirilsin mi?";

}  // namespace vantrel::txt
