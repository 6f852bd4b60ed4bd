#include "web/platform/WebSound.h"

extern "C" void tb_web_sound_voices(int voices);
extern "C" void tb_web_play_sound(const char* path);

namespace tb {

WebSoundPlayer::WebSoundPlayer(bool mix) { tb_web_sound_voices(mix ? 8 : 1); }

void WebSoundPlayer::PlaySoundFile(const std::string& path) { tb_web_play_sound(path.c_str()); }

}  // namespace tb
