#include "engine/gfx/FontAliases.h"

// Families the game asks for, mapped onto fonts a Linux desktop has.
//
// "DS Crystal" is a digital-display face. At read-out sizes it becomes a seven-segment face,
// heavier than its bold (thin segments vanish on the small read-outs) and condensed so that
// the digits keep the narrow advance the read-outs are spaced for. A
// segment face has no real letters, spaces or punctuation, so at banner sizes, where it
// carries whole sentences, it becomes a bold italic text face instead.
const char* GameFontAliases() {
    return R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>Arial</family>
    <prefer><family>Liberation Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>Times New Roman</family>
    <prefer><family>Liberation Serif</family></prefer>
  </alias>
  <match target="pattern">
    <test name="family" compare="eq" ignore-blanks="true"><string>DS Crystal</string></test>
    <test name="size" compare="less"><double>24</double></test>
    <edit name="family" mode="prepend" binding="strong"><string>DSEG7 Classic</string></edit>
    <edit name="weight" mode="assign" binding="strong"><const>black</const></edit>
    <edit name="matrix" mode="assign"><matrix><double>0.8</double><double>0</double><double>0</double><double>1</double></matrix></edit>
  </match>
  <match target="pattern">
    <test name="family" compare="eq" ignore-blanks="true"><string>DS Crystal</string></test>
    <test name="size" compare="more_eq"><double>24</double></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Sans</string></edit>
    <edit name="weight" mode="assign" binding="strong"><const>bold</const></edit>
    <edit name="slant" mode="assign" binding="strong"><const>italic</const></edit>
  </match>
  <match target="pattern">
    <test name="family" compare="eq" ignore-blanks="true"><string>Arial Black</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>DejaVu Sans</string></edit>
    <edit name="family" mode="append" binding="strong"><string>Liberation Sans</string></edit>
    <edit name="weight" mode="assign" binding="strong"><const>black</const></edit>
  </match>
</fontconfig>
)";
}
