object f: TForm
  object p: TPanel
    Tag = -$7FFFFFFF
    Picture.Data = {
      0A0B0c0d 1234}
  end
end
