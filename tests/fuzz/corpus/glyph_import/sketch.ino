byte smiley[8] = {
  B00000,
  B10001,
  0x00,
  0b00000,
  17,
  016,
  0
};
int pins[] = {1, 2};
const uint8_t g[][8] PROGMEM = {{1,2,3,4,5,6,7,8}, {1}};
