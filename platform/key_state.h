// SPDX-License-Identifier: MIT
#pragma once
// Whether a key is held down at this moment. The window front end supplies the implementation
// (the toolkit knows the keyboard); a front end without a keyboard uses NoKeysDown.
namespace zmr::platform {

enum class Key { Shift, K };

class KeyState {
 public:
  virtual ~KeyState() = default;
  virtual bool IsDown(Key key) const = 0;
};

class NoKeysDown final : public KeyState {
 public:
  bool IsDown(Key) const override { return false; }
};

#ifdef _WIN32
// The keyboard state of the calling thread as its window messages left it (GetKeyState).
class SystemKeyState final : public KeyState {
 public:
  bool IsDown(Key key) const override;
};
#endif

}  // namespace zmr::platform
