#include "maintenanceservices.h"

// What the services report right after start, as the service simulator sends it: topic and
// payload, in the order they arrive. The maintenance pictures show this state.
const QVector<QPair<QString, QByteArray>>& MaintenanceServices::sampleState()
{
    static const QVector<QPair<QString, QByteArray>> messages {
    { "orvo/blm/info", R"json({"device":{"barcode":{"firmware":"3.1.7","manufacturer":"Lumacode","model":"LC-220"},"rfid":{"firmware":"5.2.0","manufacturer":"Cardelia","model":"CR-900","uid":"CR9-0412-7731"}},"service":{"version":"4.3.2"}})json" },
    { "orvo/blm/config", R"json({"blm":{"obu_host":"192.168.31.10","obu_password":"onboard","obu_port":"1883","obu_username":"validator"},"validator":{"passbackTime":"300","qr_passback":"true"}})json" },
    { "orvo/blm/status", R"json({"device":{"barcode":{"active":true,"enabled":false},"rfid":{"active":true,"error":"","sams":[{"atr":"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68","batch":"B2019-27","enabled":true,"mode":"secure","name":"Transit SAM","production":"2019-07-15","slot":0,"uid":"04C1D2E3F40512","unlocked":true,"vendor":"Sekura","version":"3.2"}],"slots":[true,false,false,false],"state":1}},"obu":{"vehicleUuid":"6f1c2a4e-0c3b-4e8e-9a51-3d2f0b7c0412"},"route":{"axisName":"Line 12 Harbour - Old Town"},"service":true,"state":{"hasNtp":true,"hasObu":true,"hasQr":true,"hasRfid":true,"hasRoute":true,"init":false}})json" },
    { "orvo/board/info", R"json({"device":{"firmwareVersion":"2.4.1","hardwareId":"B7-00-13-5C","hardwareVersion":"rev C"},"service":{"version":"1.8.0"}})json" },
    { "orvo/board/config", R"json({"device":{"delayShutdownFor":120}})json" },
    { "orvo/board/status", R"json({"device":{"active":true,"hardwareStatus":{"rtcFailed":false},"ignition":true,"poleId":"P-0412","temperature":41.5,"uptime":0,"voltage":27.6},"service":true})json" },
    { "orvo/board/display", R"json({"brightness":80,"mode":"manual","sensor":45})json" },
    { "orvo/board/power", R"json({"display":true,"ftdi":true,"mPCIe1":true,"mPCIe2":true,"qrReader":true,"rfidReader":true,"touch":true,"usbHost1":true,"usbHub":true})json" },
    { "orvo/board/audio", R"json({"mute":false})json" },
    { "orvo/network/info", R"json({"service":{"version":"3.0.2"}})json" },
    { "orvo/network/status", R"json({"connectivityStr":"Full","hostname":"validator-0412","primaryConnection":{"interface":"eth0","ipv4":{"address":"192.168.31.57","dns0":"192.168.31.1","dns1":"192.168.31.2","gateway":"192.168.31.1","netmask":"255.255.255.0"},"stateStr":"Connected","typeStr":"Ethernet"},"stateStr":"Connected"})json" },
    { "orvo/network/ethernet/state", R"json({"interface":"eth0","ipv4":{"address":"192.168.31.57","dns0":"192.168.31.1","dns1":"192.168.31.2","gateway":"192.168.31.1","netmask":"255.255.255.0"},"mac":"02:4F:52:56:04:12","reasonStr":"None","stateStr":"Connected","typeStr":"Ethernet"})json" },
    { "orvo/network/ethernet/config", R"json({"address":"","dns0":"","dns1":"","gateway":"","interface":"eth0","method":"auto","netmask":""})json" },
    { "orvo/device/status", R"json({"service":true,"update":{"software":{"current":"1.4.2","pending":""}}})json" },
    { "orvo/device/update/software/status", R"json({"current":"1.4.2","pending":""})json" },
    { "orvo/device/clock/ntp/config", R"json({"enabled":true,"server":"pool.ntp.example"})json" },
    { "orvo/device/clock/ntp/status", R"json({"enabled":true,"synced":true})json" },
    { "orvo/inspector/info", R"json({"service":{"version":"2.2.5"}})json" },
    { "orvo/inspector/status", R"json({"service":true})json" },
    { "orvo/inspector/audio", R"json({"internal":{"volume":70}})json" },
    };
    return messages;
}
