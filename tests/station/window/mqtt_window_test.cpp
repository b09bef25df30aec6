// The station window with publishing configured: backlog in the status bar while the broker
// is away, and a refused station id told to the observer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QStatusBar>

#include "../../devsim/DevSim.h"
#include "../../support/Broker.h"
#include "StationTest.h"
#include "station/MainWindow.h"

namespace {

QString MqttLabel(TMain& w)
{
    for (QLabel* l : w.statusBar()->findChildren<QLabel*>())
        if (l->text().startsWith("MQTT")) return l->text();
    return {};
}

using MqttStation = StationTest;

}  // namespace

TEST_F(MqttStation, TheStatusBarShowsTheBacklogUntilTheBrokerTakesIt)
{
    TestBroker broker(dir / "broker");
    ASSERT_TRUE(broker.Running());
    broker.Stop();
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(broker.Port()) +
             "\r\nStation=Nord\r\nPasswort=Sehr-Geheim\r\n");
    TMain w({"LOG"});
    w.show();
    for (const char* line : {"09.12.26 10:00:00: X,  1", "MOX bereit", "09.12.26 10:00:01: X,  2"})
        w.Runtime()->Port().OnLine(line);
    EXPECT_EQ(w.Runtime()->MqttBacklog(), 2u);  // filed lines only
    EXPECT_TRUE(RunUntil([&] { return MqttLabel(w) == "MQTT getrennt: 2 wartend"; }, 20000))
        << MqttLabel(w).toStdString();

    ASSERT_TRUE(broker.Start());
    EXPECT_TRUE(RunUntil([&] { return w.Runtime()->MqttBacklog() == 0 && MqttLabel(w) == "MQTT"; }, 60000))
        << MqttLabel(w).toStdString();
    EXPECT_EQ(w.LastProblem().indexOf("Sehr-Geheim"), -1);
}

TEST_F(MqttStation, AStationIdThatFitsNoTopicIsRefusedWithAMessage)
{
    TDevSim sim({"--no-data"});
    ASSERT_TRUE(sim.Started());
    std::filesystem::create_directory(dir / "data");
    WriteIni("[Verzeichnisse]\r\nDatenverzeichnis=" + dir / "data" + "\r\n[COM-Port]\r\nPort=" + sim.Link() +
             "\r\n[MQTT]\r\nHost=127.0.0.1\r\nStation=Nord/Ost\r\n");
    TMain w({"LOG"});
    EXPECT_NE(w.LastProblem().indexOf("Nord/Ost"), -1) << w.LastProblem().toStdString();
    EXPECT_NE(w.LastProblem().indexOf("ungültig"), -1);
    w.Runtime()->Port().OnLine("09.12.26 10:00:00: X,  1");
    EXPECT_EQ(w.Runtime()->MqttBacklog(), 0u);
    EXPECT_TRUE(MqttLabel(w).isEmpty());
}
