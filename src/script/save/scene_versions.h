// Version gates of the scene as a game slot stores it: from which game-state
// version on each item record holds a field. Item records are read only from
// a game slot's scene, and a slot older than kOldestGameStateVersion (107,
// save_data.h) is refused before its scene is read. So every field a record
// gained before 107 (the item head's sub-priority, the controls' mouse-in
// handler, clip window and animation pause, the kinds' idle handlers and
// paused flags with the fields stored beside them, the timer's AutoScrap and
// Fired flags) is read unconditionally, and only the later gates are here.
#pragma once

#include <cstdint>

namespace orba {

// Label records: anti-alias stored as its level rather than as on/off.
// Sound and video: rewind-on-load.
inline constexpr int32_t kSceneRewindOnLoadVersion = 108;
inline constexpr int32_t kSceneAntiAliasLevelVersion = 109;
// Text word: shadow colour, then default border and shadow.
inline constexpr int32_t kSceneWordShadowColorVersion = 110;
inline constexpr int32_t kSceneWordBorderVersion = 111;
// Video: overlay flag.
inline constexpr int32_t kSceneVideoOverlayVersion = 112;
// Message window: top offset.
inline constexpr int32_t kSceneTopOffsetVersion = 113;
// Image map: close state.
inline constexpr int32_t kSceneCloseStateVersion = 115;
// Cinema: frame index and rewind-on-load.
inline constexpr int32_t kSceneCinemaIndexVersion = 117;
// Controls: key handling and the key and focus handlers.
inline constexpr int32_t kSceneKeyHandlersVersion = 118;
// The focused control's name; the slider's capture mask.
inline constexpr int32_t kSceneFocusVersion = 119;
// Item head: tag; message window: capture-link flag.
inline constexpr int32_t kSceneTagVersion = 120;
// Label records: shadow offset and colour.
inline constexpr int32_t kSceneLabelShadowVersion = 122;
// Gauge and image-font label: idle handler.
inline constexpr int32_t kSceneGaugeIdleVersion = 125;
// Property motion: paused flag.
inline constexpr int32_t kSceneMotionPausedVersion = 126;
// Preview menu: the buttons' enabled flags.
inline constexpr int32_t kScenePrevMenuEnabledVersion = 127;
// Gauge and slider: bar size.
inline constexpr int32_t kSceneBarSizeVersion = 128;
// Sound, video and cinema: mute-on-load (the cinema's volume too).
inline constexpr int32_t kSceneMuteOnLoadVersion = 129;
// Controls: motion offsets and steps.
inline constexpr int32_t kSceneMotionVersion = 130;
// List box: idle handler.
inline constexpr int32_t kSceneListIdleVersion = 131;
// Preview menu: the buttons' visible flags.
inline constexpr int32_t kScenePrevMenuVisibleVersion = 132;
// Cinema: ended flag.
inline constexpr int32_t kSceneCinemaEndedVersion = 133;
// List box: map-in and map-out handlers.
inline constexpr int32_t kSceneListMapVersion = 134;
// Preview menu: the buttons' selected flags.
inline constexpr int32_t kScenePrevMenuSelectedVersion = 136;
// Button: caption record.
inline constexpr int32_t kSceneCaptionVersion = 137;
// Sound: repeat position.
inline constexpr int32_t kSceneRepeatPosVersion = 138;
// Box and image: blur span and delay.
inline constexpr int32_t kSceneBlurVersion = 140;

}  // namespace orba
