#include "line/direccionremota.h"

#include <gtest/gtest.h>

namespace {

using T = DireccionRemota::Tipo;

TEST(DireccionRemota, AddressesAreReadWholeAndWrittenBackTheSameWay)
{
    const std::pair<const char *, DireccionRemota> buenos[] = {
        {"ftp://cnc@192.168.1.20/", {T::Ftp, "cnc", "192.168.1.20", 21, "/"}},
        {"FTP://cnc@fanuc-1.taller:2121/PRG/", {T::Ftp, "cnc", "fanuc-1.taller", 2121, "/PRG/"}},
        {"ftps://op%40taller@[fe80::1]:990/a b/", {T::Ftps, "op@taller", "fe80::1", 990, "/a b/"}},
        {"ftp://host/PRG", {T::Ftp, "", "host", 21, "/PRG/"}},
        {"ftp://h/%2FPRG/", {T::Ftp, "", "h", 21, "//PRG/"}},
        {" ftp://h ", {T::Ftp, "", "h", 21, "/"}},
        {"file:///mnt/cnc%20uno/", {T::Carpeta, "", "", 0, "/mnt/cnc uno/"}},
        {"file://localhost/mnt/cnc", {T::Carpeta, "", "", 0, "/mnt/cnc/"}},
        {"/mnt/50%/", {T::Carpeta, "", "", 0, "/mnt/50%/"}},
    };
    for (const auto &[texto, esperado] : buenos) {
        SCOPED_TRACE(texto);
        EXPECT_TRUE(DireccionRemota::esRemota(texto));
        const auto d = DireccionRemota::interpreta(texto);
        ASSERT_TRUE(d);
        EXPECT_EQ(*d, esperado);
        EXPECT_EQ(DireccionRemota::interpreta(d->texto()), d) << d->texto().toStdString();
    }
    EXPECT_EQ(DireccionRemota::interpreta("ftps://op%40taller@[fe80::1]:990/a b/")->texto(),
        "ftps://op%40taller@[fe80::1]:990/a%20b/");

    // Serial ports are never remote; a remote text written amiss still is,
    // so that it refuses the machine instead of naming a device.
    for (const char *serie : {"1", "/dev/ttyUSB0", "tcp://h:4001", "rfc2217://h:4001", "/", ""})
        EXPECT_FALSE(DireccionRemota::esRemota(serie)) << serie;
    const char *malos[] = {"ftp://", "ftp://cnc@", "ftp://cnc:clave@h/", "ftp://:clave@h/",
        "ftp://h:/", "ftp://h:21x/", "ftp://h:65536/", "ftp://[zz]/", "ftp://fe80::1/",
        "ftp://h o/", "ftp://h/a/%zz/", "ftp://h/a%0A/", "ftp://h/../", "ftp://h/a#b", "file://",
        "file://nas/x/", "file:///a/../b/", "prg/", "~/prg/", "gopher://h/"};
    for (const char *m : malos)
        EXPECT_FALSE(DireccionRemota::interpreta(m)) << m;
}

TEST(DireccionRemota, APasswordIsRecognisedAndNeverShown)
{
    EXPECT_TRUE(DireccionRemota::llevaContrasena("ftp://cnc:x@h/"));
    EXPECT_TRUE(DireccionRemota::llevaContrasena("ftps://cnc:@h:990/P/"));
    EXPECT_FALSE(DireccionRemota::llevaContrasena("ftp://cnc@h:21/P:1/"));
    EXPECT_FALSE(DireccionRemota::llevaContrasena("/mnt/a:b@c/"));
    EXPECT_EQ(DireccionRemota::sinContrasena("ftp://cnc:s3c:r@t@h:21/P/"), "ftp://cnc:***@h:21/P/");
    EXPECT_EQ(DireccionRemota::sinContrasena("ftp://cnc@h/"), "ftp://cnc@h/");
}

} // namespace
