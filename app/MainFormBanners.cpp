// Banners in Panel1 and the ticker line over the status bar.
#include "MainForm.h"

namespace tarn {

// The banner viewer inside Panel1.
void TMainForm::CreateBannerViewer() {}

// "banners.dat" opened for the program's life and its banners listed.
void TMainForm::LoadBanners() { LoadBannerFile(ProgramDirName + "banners.dat", BannerList); }

// The next banner (every 60 s, and once when the window shows).
void TMainForm::Timer1Timer() {}

void TMainForm::BannerClick() {}

// TickerLines from the text of the ticker object (1, 9999, 5, 99), then
// their colours.
void TMainForm::PrepareTicker() { PrepareTickerLines(); }

void TMainForm::PrepareTickerLines() {}

// The next ticker line (every 90 s once the last one has scrolled through).
void TMainForm::Timer2Timer() {}

void TMainForm::SecretPanel1StopPlay() {}

} // namespace tarn
