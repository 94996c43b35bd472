#include "core/protocol/MacText.h"
#include "sim/SimUnit.h"

// The demo units: every key of every menu their product shows carries a value a technician would
// meet on a real installation, so the settings views, value texts and backups have something to
// show without hardware.

namespace {

QByteArray U8(int value) {
    return QByteArray(1, static_cast<char>(value & 0xFF));
}

QByteArray U16(int value) {
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>((value >> 8) & 0xFF);
    bytes[1] = static_cast<char>(value & 0xFF);
    return bytes;
}

QByteArray U32(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

QByteArray Ip(int a, int b, int c, int d) {
    return Bytes({a, b, c, d});
}

QByteArray Text(const char* text) {
    return QByteArray(text);
}

void AddIpMenu(SimUnit& unit, int index) {
    unit.SetKey(1, Ip(127, 0, 0, index + 2));
    unit.SetKey(2, Ip(255, 0, 0, 0));
    unit.SetKey(3, Ip(127, 0, 0, 1));
    unit.SetKey(4, U8(0));
    unit.SetKey(5, unit.Mac());
    unit.SetKey(6, U8(1));
    unit.SetKey(7, Ip(192, 36, 143, 130));
    unit.SetKey(8, U8(13)); // "+1"
    unit.SetKey(9, {});     // the clock; reported live
    unit.SetKey(10, Ip(8, 8, 8, 8));
    unit.SetKey(11, U8(1)); // UDP
}

void AddGprsMenu(SimUnit& unit, int index) {
    unit.SetKey(20, U8(1));
    unit.SetKey(21, Text("internet.m2m"));
    unit.SetKey(22, {});
    unit.SetKey(23, {});
    unit.SetKey(24, U8(0)); // PAP
    unit.SetKey(25, U8(2)); // Online
    unit.SetKey(31, U8(1)); // Registered
    unit.SetKey(26, Text(index % 2 == 0 ? "21 (-71 dBm)" : "17 (-79 dBm)"));
    unit.SetKey(27, Text("LTE Cat-1 module, firmware 25.30.226"));
    unit.SetKey(28, QByteArray("10.64.") + QByteArray::number(12 + index) + ".77");
    unit.SetKey(29, Text("No error"));
    unit.SetKey(30, U32(2 + index));
    unit.SetKey(32, U8(1));
}

void AddAlarmServerMenu(SimUnit& unit, int index) {
    unit.SetKey(40, Text("alarm1.receiver.example:9000\r\nalarm2.receiver.example:9000"));
    unit.SetKey(41, Text("gprs1.receiver.example:9000\r\ngprs2.receiver.example:9000"));
    unit.SetKey(42, U16(9000));
    unit.SetKey(43, U8(0));     // TCP
    unit.SetKey(44, U16(90));   // 00:01:30
    unit.SetKey(45, U16(25));   // 00:00:25
    unit.SetKey(46, U16(180));  // 00:03:00
    unit.SetKey(47, U16(3600)); // 01:00:00
    unit.SetKey(48, U8(3));     // IP and GPRS
    unit.SetKey(49, Text("alarm1.receiver.example:9000"));
    unit.SetKey(50, Text("gprs1.receiver.example:9000"));
    unit.SetKey(51, U32(86400 * 3 + 4000 + static_cast<quint32>(index) * 77));
    unit.SetKey(52, U32(86400 * 3 + 3950));
    unit.SetKey(53, Bytes({1, 2, 5, 3})); // Korvex: v2.5.3
    unit.SetKey(54, U32(12));
    unit.SetKey(55, U32(1740));
    unit.SetKey(56, U32(41));
}

void AddNebrynMenu(SimUnit& unit) {
    unit.SetKey(70, U8(1));
    unit.SetKey(71, Text("cloud1.nebryn.example\r\ncloud2.nebryn.example"));
    unit.SetKey(72, U16(61601));
    unit.SetKey(74, U8(1)); // Online
}

void AddSystemMenu(SimUnit& unit, int productCode, int index) {
    static const char* products[] = {"", "RDM22SMS v3.4.2", "", "RDM32 Q7 Gateway v4.1.0",
                                     "RDM12 Lift v2.2.5"};
    static const char* owners[] = {"", "Brandvik Properties AB", "", "Norrbacka School",
                                   "Lindgatan 14 Housing Coop"};
    unit.SetKey(100, {});
    unit.SetKey(105, Text(products[productCode]));
    unit.SetKey(102, U16(4711 + index));
    unit.SetKey(103, U8(1));
    unit.SetKey(104, U8(0));
    unit.SetKey(119, U8(0));
    unit.SetKey(118, U8(productCode == 3 ? 1 : 0));
    unit.SetKey(101, Text(owners[productCode]));
    unit.SetKey(109, Bytes({2, 0, 10}));
    unit.SetKey(110, Bytes({1, 8, 2}));
    unit.SetKey(111, Bytes({3, 1, 0}));
    unit.SetKey(112, Bytes({0, productCode, 0x02, 0x01, 0x00, 3 + productCode}));
    unit.SetKey(113, Text("Eva Lindqvist"));
    unit.SetKey(114, Text("service@installer.example"));
    unit.SetKey(106, Text("2023-11-07"));
    unit.SetKey(107, Text("KernFrame 2.14"));
    unit.SetKey(108, Text("2022-03-30"));
    unit.SetKey(115, Text("Nov  7 2023"));
    unit.SetKey(116, Text("14:02:33"));
    unit.SetKey(117, U32(86400 * 12 + 3600 * 5 + 60 * 17 + 9 + static_cast<quint32>(index) * 3131));
}

void AddSmsMenus(SimUnit& unit) {
    unit.SetKey(170, U8(0));
    unit.SetKey(171, Text("+46701740605\r\n+46701740606"));
    unit.SetKey(172, U8(0));
    unit.SetKey(180, U8(1));
    unit.SetKey(181, U8(1));
    unit.SetKey(182, U8(0));
    unit.SetKey(183, U8(1));
    unit.SetKey(184, U8(1));
    unit.SetKey(197, U8(1));
    unit.SetKey(198, U8(0));
    unit.SetKey(185, Text("+46701234567\r\n+46709876543"));
    unit.SetKey(186, U32(57));
    unit.SetKey(187, U32(4));
    unit.SetKey(188, U32(1));
    unit.SetKey(189, Text("+46701234567"));
}

void AddLogsMenu(SimUnit& unit, int index) {
    // The log keys themselves are reported from the unit's logs; they only need to exist.
    for (const quint16 id : {220, 222, 224, 252, 225})
        unit.SetKey(id, {});
    const quint32 scale = static_cast<quint32>(index + 1);
    const quint32 counters[] = {12,   148211, 139876, 3,     0,     2, 1, 5, 4,  0, 1302,
                                1296, 0,      2,      61233, 58710, 0, 1, 3, 14, 0, 9};
    quint16 id = 227;
    for (const quint32 counter : counters) {
        unit.SetKey(id, U32(counter * scale));
        ++id;
    }
    unit.SetKey(249, U32(0));
    unit.SetKey(250, U32(811 * scale));
    unit.SetKey(251, U32(405 * scale));
    unit.SetKey(253, U16(0));
    unit.SetKey(254, U16(0));
    unit.SetKey(255, U32(20480 * scale));
    unit.SetKey(256, U32(18842 * scale));
    unit.SetKey(257, U32(0));
    unit.SetKey(258, U32(0));
}

void AddContactId(SimUnit& unit) {
    unit.SetKey(4096, U8(0)); // ContactID
    unit.SetKey(4097, U16(8));
    unit.SetKey(4098, U16(11));
    unit.SetKey(4099, {});
    static const char* codes[] = {"11*,---,---,---,---", "373,---,---,---,---", "---,---,---,---,---",
                                  "13*,---,---,---,---", "---,---,---,---,---", "---,---,---,---,---",
                                  "12*,---,---,---,---", "375,376,---,---,---", "---,---,---,---,---",
                                  "15*,16*,10*,14*,---", "20*,3**,---,---,---"};
    for (quint16 id = 4608; id <= 4635; ++id) {
        const int offset = id - 4608;
        if (offset < static_cast<int>(std::size(codes)))
            unit.SetKey(id, Text(codes[offset]));
        else if (id == 4632)
            unit.SetKey(id, Text("401,---,---,---,---"));
        else
            unit.SetKey(id, Text("---,---,---,---,---"));
    }
}

void AddSos(SimUnit& unit, int index) {
    unit.SetKey(4112, QByteArray("SOS-00") + QByteArray::number(4711 + index));
    unit.SetKey(4113, Text("7391"));
    unit.SetKey(4114, U8(0));
}

void AddRadioKeys(SimUnit& unit) {
    unit.SetKey(4128, U16(0)); // counts come from the radio network
    unit.SetKey(4129, U16(0));
    unit.SetKey(4130, U16(0));
    unit.SetKey(4153, U16(0));
    unit.SetKey(4132, U8(0)); // Protected
    unit.SetKey(4133, U8(5)); // channel 15
    unit.SetKey(4134, U8(8));
    unit.SetKey(4135, Text("00124B0001A2C3D4"));
    unit.SetKey(4136, Text("QuibLinkKey2017!"));
    unit.SetKey(4137, U32(2));
    unit.SetKey(4138, Bytes({1, 12, 0}));
    unit.SetKey(4139, Bytes({17, 6, 5}));
    unit.SetKey(4152, U16(20));
    unit.SetKey(4144, U8(1));
    unit.SetKey(4145, U8(0));
    unit.SetKey(4146, U8(1));
    unit.SetKey(4154, U8(1));
    unit.SetKey(4155, U16(1));
    unit.SetKey(4156, U16(2));
    unit.SetKey(4167, U16(300));
    unit.SetKey(4164, Bytes({1, 12, 0}));
    unit.SetKey(4165, U16(0x5A3C));
    unit.SetKey(4166, U32(184320));
}

void AddSerialAndRobofon(SimUnit& unit) {
    unit.SetKey(4864, U8(2));     // Robofon
    unit.SetKey(4865, U16(9600)); // the number itself
    unit.SetKey(4866, U16(8));
    unit.SetKey(4867, U16(1));
    unit.SetKey(4868, U8(0));
    unit.SetKey(4869, U32(12));
    unit.SetKey(4870, U16(30));
    unit.SetKey(4871, U8(1));
    unit.SetKey(4960, U8(1));
    unit.SetKey(4961, U8(0));
    for (int i = 0; i < 8; ++i) {
        unit.SetKey(static_cast<quint16>(4912 + i), QByteArray("E1") + QByteArray::number(30 + i));
        unit.SetKey(static_cast<quint16>(4944 + i), QByteArray("R1") + QByteArray::number(30 + i));
    }
}

void AddElevator(SimUnit& unit) {
    unit.SetKey(4896, U8(1));
    unit.SetKey(4897, U16(1));
    unit.SetKey(4898, U16(2));
    unit.SetKey(4899, Text("+46812345600\r\n+46812345601"));
    unit.SetKey(4900, Text("+46812345699"));
    unit.SetKey(4901, U8(0));
    unit.SetKey(4902, U32(0));
    unit.SetKey(5120, U8(0)); // Full Duplex
}

SimInput Input(int address, const char* text, int type, int balance, int status, int analog, int delay = 0) {
    SimInput input;
    input.Address = QString::number(address);
    input.Text = QByteArray(text);
    input.Type = static_cast<quint8>(type);
    input.Balance = static_cast<quint8>(balance);
    input.MaxTemp = 40;
    input.MinTemp = 5;
    input.Delay = static_cast<quint8>(delay);
    input.Status = static_cast<quint8>(status);
    input.Analog = static_cast<quint16>(analog);
    input.Info = 0;
    return input;
}

QList<SimInput> DemoInputs(int productCode) {
    if (productCode == 3)
        return {Input(1, "Fire panel alarm", 1, 2, 0, 512), Input(2, "Fire panel fault", 4, 1, 0, 498),
                Input(3, "Sprinkler flow switch", 5, 2, 0, 505)};
    if (productCode == 4)
        return {Input(1, "Elevator alarm button", 3, 1, 0, 1010), Input(2, "Elevator service", 4, 0, 0, 12)};
    return {Input(1, "Fire panel alarm", 1, 2, 0, 512),
            Input(2, "Fire panel fault", 4, 2, 0, 509),
            Input(3, "Burglary zone A", 2, 2, 1, 131, 30),
            Input(4, "Burglary zone B", 2, 2, 0, 510, 30),
            Input(5, "Assault button reception", 3, 1, 0, 1012),
            Input(6, "Boiler room technical", 4, 0, 2, 0),
            Input(7, "Water leak basement", 5, 1, 0, 1008),
            Input(8, "Cold room temperature", 6, 0, 0, 4, 60)};
}

} // namespace

SimUnit SimUnit::Demo(int productCode, int index) {
    if (productCode != 3 && productCode != 4)
        productCode = 1;
    SimUnit unit;
    unit.SetMac(Bytes({0x02, 0x3C, 0xA7, 0x00, productCode, index + 1}));
    unit.KeyList.clear(); // key 5 goes in its place within the IP menu
    AddIpMenu(unit, index);
    AddGprsMenu(unit, index);
    AddAlarmServerMenu(unit, index);
    AddNebrynMenu(unit);
    AddSystemMenu(unit, productCode, index);
    unit.Inputs = DemoInputs(productCode);
    AddSmsMenus(unit);
    AddLogsMenu(unit, index);
    AddContactId(unit);
    AddSos(unit, index);
    if (productCode == 1)
        AddSerialAndRobofon(unit);
    if (productCode == 3) {
        AddRadioKeys(unit);
        unit.Radio = SimRadioNetwork::Demo();
    }
    if (productCode == 4)
        AddElevator(unit);
    unit.Logs = SimUnitLogs::Demo(index + 1);
    unit.MarkFactoryState();
    return unit;
}
