// @PHONE, @CTRLPH, @UARTPH, @MSG and @SMSDBS in sequence on one board: every
// refused set leaves the value the next query shows.
#include "cmd_test_env.h"
#include "config/text_utils.h"

namespace cmdtest {

TEST_F(CmdTest, PhonesAndMessages) {
  const std::string k19(19, '7'), k20(20, '7'), m160(160, 'm'), a280(280, 'A');
  ExpectReplies({
      {"@PHONE3", Shows("PHONE3", "0")},
      {"@PHONE3;2;111;222", Ok("PHONE3")},
      {"@PHONE3;3;111", Er("PHONE3")},
      {"@PHONE3;11;1;2;3;4;5;6;7;8;9;10;11", Er("PHONE3")},
      {"@PHONE3;-1;111", Er("PHONE3")},
      {"@PHONE3;1;" + k20, Er("PHONE3")},
      {"@PHONE3;1;09,11", Er("PHONE3")},   // config.ini would read it back as two numbers
      {"@PHONE3;1;0911\n", Er("PHONE3")},  // it would split its config.ini line
      {"@PHONE16;1;111", Er("PHONE16")},
      {"@PHONE3", Shows("PHONE3", "2;111;222")},
      {"@PHONE3;2;+886 912;" + k19 + ";333", Ok("PHONE3")},  // further fields ignored
      {"@PHONE3", Shows("PHONE3", "2;+886 912;" + k19)},
      {"@PHONE3;x;111", Ok("PHONE3")},  // a count that is not a number reads as 0
      {"@PHONE3", Shows("PHONE3", "0")},
      {"@CTRLPH;3;0911111111;0922222222;0933333333", Ok("CTRLPH")},
      {"@CTRLPH;1;0944444444", Ok("CTRLPH")},
      {"@CTRLPH;2;0955555555", Er("CTRLPH")},
      {"@CTRLPH;1;;0955555555", Er("CTRLPH")},  // an empty number reaches nobody
      {"@PHONE3;2;111;;222", Er("PHONE3")},
      {"@CTRLPH", Shows("CTRLPH", "1;0944444444")},
      {"@UARTPH;" + k19, Ok("UARTPH")},
      {"@UARTPH;" + k20, Er("UARTPH")},
      {"@UARTPH", Shows("UARTPH", k19)},
      {"@UARTPH;(CLR)", Ok("UARTPH")},
      {"@UARTPH", Shows("UARTPH", "N/A")},
      {"@MSG0", Shows("MSG0", "7BIT;0")},
      {"@MSG0;UCS2;2;4f60597D", Ok("MSG0")},
      {"@MSG1;UCS2;70;" + a280, Ok("MSG1")},
      {"@MSG1", Shows("MSG1", "UCS2;70;" + a280)},
      {"@MSG0;UCS2;71;" + a280 + "AAAA", Er("MSG0")},
      {"@MSG0;UCS2;2;4F60597", Er("MSG0")},     // odd digit count
      {"@MSG0;UCS2;2;4F60597D00", Er("MSG0")},  // more digits than the count says
      {"@MSG0;UCS2;3;4F60597D", Er("MSG0")},    // fewer
      {"@MSG0;UCS2;2;4G60597D", Er("MSG0")},
      {"@MSG0;7BIT;0;Hello", Er("MSG0")},
      {"@MSG0;7BIT;161;" + m160, Er("MSG0")},
      {"@MSG0;7BIT;160;" + m160 + "m", Er("MSG0")},
      {"@MSG0;7BIT;5;He\nlo", Er("MSG0")},  // it would split its config.ini line
      {"@MSG0;7BIT;81;" + std::string(80, '{') + "x", Er("MSG0")},  // 161 septets: a brace takes two
      {"@MSG0;7BIT;3;" + m160.substr(1) + "~", Er("MSG0")},         // the whole text is checked
      {"@MSG0;7BIT;6;Hel;lo", Er("MSG0")},  // a ";" would have cut it short
      {"@MSG0;UTF8;5;Hello", Er("MSG0")},
      {"@MSG16;7BIT;5;Hello", Er("MSG16")},
      {"@MSG0", Shows("MSG0", "UCS2;2;4F60597D")},
      {"@MSG2;7BIT;160;" + m160, Ok("MSG2")},
      {"@MSG2", Shows("MSG2", "7BIT;160;" + m160)},
      // Fewer characters than sent are kept and counted: no zero bytes in
      // the counted message.
      {"@MSG2;7BIT;3;Hello", Ok("MSG2")},
      {"@MSG2", Shows("MSG2", "7BIT;3;Hel")},
      {"@MSG2;7BIT;80;" + std::string(79, ']') + "\xA4", Ok("MSG2")},  // 160 septets, the euro sign last
      {"@MSG2", Shows("MSG2", "7BIT;80;" + std::string(79, ']') + "\xA4")},
      {"@MSG2;(CLR)", Ok("MSG2")},
      {"@MSG2", Shows("MSG2", "7BIT;0")},
      {"@SMSDBS4;1", Ok("SMSDBS4")},
      {"@SMSDBS4", Shows("SMSDBS4", "1")},
      {"@SMSDBS4;2", Ok("SMSDBS4")},
      {"@SMSDBS4", Shows("SMSDBS4", "0")},
      {"@SMSDBS16;1", Er("SMSDBS16")},
  });
  // The whole list is replaced: a control phone that was dropped no longer
  // commands the device, though the match looks at all ten entries.
  EXPECT_EQ(phone_number_chk("+886944444444", sys_config.CtrlPhone), 1);
  EXPECT_EQ(phone_number_chk("+886933333333", sys_config.CtrlPhone), 0);
  EXPECT_EQ(orvel_event[0].sms_mode, 8);
  EXPECT_EQ(std::string(orvel_event[0].msg, 5), std::string("\x4F\x60\x59\x7D\0", 5));
}

}  // namespace cmdtest
