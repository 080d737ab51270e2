#include "engine/gfx/FontAliases.h"

// Families the game asks for, mapped onto fonts a Linux desktop has.
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
    <edit name="family" mode="prepend" binding="strong"><string>DSEG14 Classic</string></edit>
    <!-- The digital face is much wider than the one the read-outs are laid out for. -->
    <edit name="matrix" mode="assign"><matrix><double>0.6</double><double>0</double><double>0</double><double>1</double></matrix></edit>
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
