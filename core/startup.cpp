#include "startup.h"

#include "lines.h"
#include "platform.h"

std::string droptrailingslash(const std::string& dir) {
    if (!dir.empty() && dir.back() == '/') return dir.substr(0, dir.size() - 1);
    return dir;
}

void GetDirs(State& s) {
    s.startdir = droptrailingslash(platform::currentDirectory());
    s.windir = droptrailingslash(platform::systemDirectory());
}

void GetTempFile(State& s) {
    const std::string temp = platform::temporaryDirectory();
    const std::string dir = temp.empty() ? s.windir : droptrailingslash(temp);
    s.tempfile = dir + "/quibb.tmp";
}

void startup(State& s) {
    GetDirs(s);
    GetTempFile(s);
    s.version = "1.32";
    s.progsize = 1024;
    s.idsize = 4;
    s.configsize = 1;
    s.datasize = 64;
    s.progused = s.configused = s.idused = s.dataused = 0;
    s.configmask = 31;
    s.configdefault = 27;
    s.cmdloadprog = 2;
    s.cmdreadprog = 4;
    s.cmdincaddr = 6;
    s.cmdbeginprog = 8;
    s.cmdloaddata = 3;
    s.cmdreaddata = 5;
    s.cmderaseprog = 9;
    s.cmderasedata = 11;
    s.picmodel = 0;
    allpinslow(s);
    s.ctrlshadow = 15;
}

void setdevice(State& s, int16_t model) {
    switch (model) {
    case 1:
        s.picmodel = 1;
        s.progsize = 1024;
        s.configmask = 0x1F;
        s.configdefault = 0x1B;
        break;
    case 2:
        s.picmodel = 2;
        s.progsize = 1024;
        s.configmask = 0x3FFF;
        s.configdefault = 0x3FF3;
        break;
    case 3:
        s.picmodel = 3;
        s.progsize = 512;
        s.configmask = 0x3FFF;
        s.configdefault = 0x3FF3;
        break;
    default:
        break;
    }
}
